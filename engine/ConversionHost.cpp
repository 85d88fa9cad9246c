#include "engine/ConversionHost.h"

#include "engine/WorkerPool.h"

namespace engine {

void ConversionHost::RunTasks(std::size_t count, const std::function<void(std::size_t)>& task) {
  RunPictureTasks(count, *this, task);
}

}  // namespace engine
