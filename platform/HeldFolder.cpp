#include "platform/HeldFolder.h"

namespace img {

bool HeldFolder::StillInPlace() const {
  const std::optional<FileId> now = IdentifyFile(path_);
  return now && *now == id_;
}

}  // namespace img
