#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/MemoryReuse.h"

#if defined(__GLIBC__)
#include <sys/resource.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define IMGCONVERT_OWN_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define IMGCONVERT_OWN_MALLOC 1
#endif
#endif

namespace {

#if defined(__GLIBC__) && !defined(IMGCONVERT_OWN_MALLOC)

constexpr std::size_t kPictureBytes = 72u << 20;  // a 24-megapixel picture

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

long ResidentBytes() {
  long size = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> size >> resident;
  return resident * 4096;
}

// Allocates a picture-sized block and writes every byte of it.
void UseAPicture() {
  std::unique_ptr<char[]> block(new char[kPictureBytes]);
  std::memset(block.get(), 0x5A, kPictureBytes);
  asm volatile("" : : "r"(block.get()) : "memory");  // the writes are not optimised away
}

// The second picture reuses the first one's memory without a page fault per
// 4 KiB, and the end of a run hands the memory back.
TEST(MemoryReuse, SecondPictureReusesTheFirstsMemoryUntilHandedBack) {
  img::KeepFreedMemory();
  UseAPicture();
  const long before = MinorFaults();
  UseAPicture();
  EXPECT_LT(MinorFaults() - before, 1000);  // 18,432 pages if mapped afresh
  const long kept = ResidentBytes();
  img::ReturnFreedMemory();
  EXPECT_GT(kept - ResidentBytes(), static_cast<long>(kPictureBytes / 2));
}

#else

TEST(MemoryReuse, SecondPictureReusesTheFirstsMemoryUntilHandedBack) {
  GTEST_SKIP() << "the C library here has no setting for it";
}

#endif

}  // namespace
