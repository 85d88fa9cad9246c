#include "app/SourceList.h"

#include <exception>

#include "app/Console.h"
#include "imaging/FileIO.h"

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
    try {
      const std::vector<std::uint8_t> bytes = img::ReadWholeFile(img::PathFromUtf8(name), 1ULL << 40);
      text.assign(bytes.begin(), bytes.end());
    } catch (const std::exception& e) {
      error = "cannot read the list of sources " + name + ": " + e.what();
      return false;
    }
  }
  SplitSourceList(text, nulSeparated, out);
  return true;
}

}  // namespace app
