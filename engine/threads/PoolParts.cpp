#include "engine/threads/PoolParts.h"

namespace engine {

int PoolParts::Threads() const { return threads_ > 0 ? threads_ : PictureThreads(); }

void PoolParts::Run(std::size_t count, const Part& part) { pool_.Run(count, Threads(), part); }

}  // namespace engine
