#pragma once
// The window's edge: the one place that decides what becomes of a failure
// a handler caught. The window's handlers go on without a word where the
// window has always been silent (a failed step leaves the state it had);
// the failure is still written to standard error, so that whoever runs the
// program from a terminal sees what went wrong.

namespace ui {

// Called from inside a catch block: says the failure being handled, with
// where it happened (the handler's name), on standard error.
void SwallowAtEdge(const char* where) noexcept;

}  // namespace ui
