#pragma once
// Large pictures come and go once per picture. Left to itself the C library
// maps each large block fresh from the system and unmaps it when freed, so
// every picture pays a page fault per 4 KiB of pixels, which costs as much as
// turning the whole picture. Keeping freed memory in the process lets the
// next picture reuse it; a run's end hands it back.

namespace img {

// From now on freed memory stays in the process for reuse. Process-wide;
// does nothing where the C library offers no such setting.
void KeepFreedMemory();

// Hands the freed memory kept so far back to the system.
void ReturnFreedMemory();

}  // namespace img
