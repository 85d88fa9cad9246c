#include "imaging/ParallelParts.h"

namespace img {

void SerialParts::Run(std::size_t count, const Part& part) {
  for (std::size_t i = 0; i < count; ++i) part(i);
}

}  // namespace img
