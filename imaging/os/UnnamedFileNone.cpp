// Systems without unnamed files: the writers use a short temporary name.

#include <cerrno>

#include "imaging/UnnamedFile.h"

namespace img {

std::FILE* OpenUnnamedFile(const std::filesystem::path&) { return nullptr; }

int LinkUnnamedFile(std::FILE*, const std::filesystem::path&) { return ENOSYS; }

}  // namespace img
