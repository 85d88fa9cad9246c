#pragma once
// One throw-away folder per fuzzing process, removed with its content at exit.

#include <filesystem>
#include <string>

#include <unistd.h>

namespace fuzz {

class FuzzTempDir {
 public:
  explicit FuzzTempDir(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() /
            ("imgconvert-fuzz-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~FuzzTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  FuzzTempDir(const FuzzTempDir&) = delete;
  FuzzTempDir& operator=(const FuzzTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Deletes everything inside, keeping the folder.
  void Empty() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
      std::filesystem::remove_all(entry.path(), ec);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace fuzz
