#include "ui/core/WindowEdge.h"

#include <cstdio>
#include <exception>

namespace ui {

void SwallowAtEdge(const char* where) noexcept {
  const char* what = "unknown failure";
  try {
    if (std::exception_ptr failure = std::current_exception()) std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "ImgConvert: %s: %s\n", where, what);
}

}  // namespace ui
