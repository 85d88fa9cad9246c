#include "app/SourceList.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "app/Console.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace app {

void SplitSourceList(std::string_view text, bool nulSeparated, std::vector<std::string>& out) {
  const char separator = nulSeparated ? '\0' : '\n';
  while (!text.empty()) {
    const std::size_t end = text.find(separator);
    std::string_view entry = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!nulSeparated && entry.ends_with('\r')) entry.remove_suffix(1);
    if (entry.find_first_not_of(" \t\r\n") != std::string_view::npos) out.emplace_back(entry);
  }
}

bool ReadSourceList(const std::string& name, bool nulSeparated, std::vector<std::string>& out, std::string& error) {
  std::string text;
  if (name == "-") {
    if (!ReadStandardInput(text)) {
      error = "cannot read the list of sources from standard input";
      return false;
    }
  } else {
    // Any file that can be read to its end: a list often comes through a
    // pipe (`--files-from <(find ...)`, a named FIFO), which waits for its writer.
    std::FILE* file = img::OpenFile(img::PathFromUtf8(name), "rb");
    int err = file ? 0 : errno;
    if (file) {
      char buffer[1 << 16];
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
      if (std::ferror(file)) err = errno ? errno : EIO;
      std::fclose(file);
    }
    if (err) {
      error = "cannot read the list of sources " + name + ": " + std::generic_category().message(err);
      return false;
    }
  }
  SplitSourceList(text, nulSeparated, out);
  return true;
}

}  // namespace app
