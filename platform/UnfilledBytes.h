#pragma once
// Byte buffers whose growth leaves the new bytes unset. For buffers that are
// written whole right after (decoded pixels, deflate output, a file read in):
// zero-filling them first would touch every page twice, and on a picture of
// tens of megabytes that costs as much as a codec pass.

#include <cstdint>
#include <memory>
#include <vector>

namespace img {

template <class T>
class UnfilledAllocator : public std::allocator<T> {
 public:
  using value_type = T;
  template <class U>
  struct rebind {
    using other = UnfilledAllocator<U>;
  };

  UnfilledAllocator() = default;
  template <class U>
  UnfilledAllocator(const UnfilledAllocator<U>&) noexcept {}

  // Value-initialisation (what resize does) becomes default-initialisation:
  // nothing is written for plain bytes.
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using UnfilledBytes = std::vector<std::uint8_t, UnfilledAllocator<std::uint8_t>>;

}  // namespace img
