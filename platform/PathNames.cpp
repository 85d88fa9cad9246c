#include "platform/PathNames.h"

#include <algorithm>

#include "platform/FolderSeparator.h"

namespace img {

namespace {

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t FileNameStart(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsFolderSeparator(path[i - 1])) return i;
  return 0;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string_view TrimBlanksView(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string TrimBlanks(std::string_view text) { return std::string(TrimBlanksView(text)); }

std::string FileNamePart(std::string_view path) {
  return std::string(path.substr(FileNameStart(path)));
}

std::string FolderPart(std::string_view path) {
  return std::string(path.substr(0, FileNameStart(path)));
}

std::string ExtensionOf(std::string_view path) {
  std::string_view name = path.substr(FileNameStart(path));
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  const std::size_t start = FileNameStart(path);
  std::size_t dot = path.substr(start).rfind('.');
  std::string out(path.substr(0, dot == std::string_view::npos ? path.size() : start + dot));
  out += extension;
  return out;
}

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = a[i] >= '0' && a[i] <= '9', db = b[j] >= '0' && b[j] <= '9';
    if (da && db) {
      // Compare the digit runs as numbers: skip leading zeros, then length, then digits.
      std::size_t si = i, sj = j;
      while (si < a.size() && a[si] == '0') ++si;
      while (sj < b.size() && b[sj] == '0') ++sj;
      std::size_t ei = si, ej = sj;
      while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9') ++ei;
      while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9') ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      int cmp = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
      if (cmp != 0) return cmp < 0;
      i = ei;
      j = ej;
      continue;
    }
    const char ca = LowerChar(a[i]), cb = LowerChar(b[j]);
    if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  // Names equal up to case and leading zeros still need a fixed order.
  return a < b;
}

}  // namespace img
