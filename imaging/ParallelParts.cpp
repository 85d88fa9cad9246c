#include "imaging/ParallelParts.h"

namespace img {

void SerialParts::Run(std::size_t count, const Part& part) {
  PacedPumps pumps(sink_);
  const Yield yield = [&pumps] { pumps.PumpIfDue(); };
  for (std::size_t i = 0; i < count; ++i) {
    part(i, yield);
    sink_.PumpEvents();
  }
}

}  // namespace img
