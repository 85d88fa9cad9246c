#include "platform/MemoryReuse.h"

#include <climits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace img {

void KeepFreedMemory() {
#if defined(__GLIBC__)
  // Blocks come from the heap, not from mappings of their own, and the heap
  // is not shrunk on free. Where the heap cannot grow, glibc still maps.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace img
