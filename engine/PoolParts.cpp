#include "engine/PoolParts.h"

namespace engine {

int PoolParts::Threads() const { return threads_ > 0 ? threads_ : PictureThreads(); }

void PoolParts::Run(std::size_t count, const Part& part) {
  // Between its own parts the caller lets the window breathe too.
  pool_.Run(count, Threads(), sink_, [&part](std::size_t i, const Yield& yield) {
    part(i, yield);
    yield();
  });
}

}  // namespace engine
