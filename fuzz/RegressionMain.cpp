// A main for the normal (non-libFuzzer) build: runs one fuzz target once over
// every file under the folders and files named on the command line, so inputs
// that once crashed it keep being tried by the ordinary test run.
//   <target>_regression [--max-files N] [--max-bytes B] path...
// Files over B bytes are passed over and at most N files are run per path
// (in sorted order), keeping the run short on the large public suites.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& root,
                                              std::uintmax_t max_bytes) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (std::filesystem::is_regular_file(root, ec)) {
    files.push_back(root);
    return files;
  }
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code size_ec;
    if (it->is_regular_file(size_ec) && it->file_size(size_ec) <= max_bytes && !size_ec)
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t max_files = static_cast<std::size_t>(-1);
  std::uintmax_t max_bytes = 1 << 20;
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--max-files" && i + 1 < argc) {
      max_files = std::strtoull(argv[++i], nullptr, 10);
      continue;
    }
    if (arg == "--max-bytes" && i + 1 < argc) {
      max_bytes = std::strtoull(argv[++i], nullptr, 10);
      continue;
    }
    auto files = FilesUnder(arg, max_bytes);
    if (files.size() > max_files) files.resize(max_files);
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  std::printf("%zu inputs run\n", runs);
  return 0;
}
