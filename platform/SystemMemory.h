#pragma once
// How much physical memory the machine has, for a default limit on the
// pictures a batch holds at once. One definition per system (os/SystemMemory*).

#include <cstdint>

namespace img {

// Bytes of physical memory; 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes();

}  // namespace img
