#include "update/core/UpdateInfo.h"

#include <charconv>
#include <cstddef>
#include <exception>
#include <system_error>
#include <utility>

#include "text/Version.h"

namespace update {

std::string UpdatePageText;
float LatestVersion = 0.0f;
std::string DownloadUrl;

namespace {

// ASCII only: the page is UTF-8, and its multi-byte characters must pass untouched.
std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 1-based position of the first occurrence, 0 when absent.
std::size_t Pos(std::string_view needle, std::string_view text) {
  std::size_t at = text.find(needle);
  return at == std::string_view::npos ? 0 : at + 1;
}

// count characters from the 1-based position start; nothing for a count of
// zero or less or a start past the end, the rest of the text when count runs over.
std::string Copy(std::string_view text, std::ptrdiff_t start, std::ptrdiff_t count) {
  if (start < 1) start = 1;
  if (count <= 0 || start > static_cast<std::ptrdiff_t>(text.size())) return {};
  return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

// A decimal number with "." as separator and an optional exponent, blanks
// allowed around it; anything else (including inf and nan) is no number.
bool ParseVersion(std::string_view text, float& value) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);

  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  if (i != text.size()) return false;

  float parsed = 0.0f;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

// The lower-cased body of a loaded page, or nothing when no page is loaded.
bool ReadBody(const LoadedPage& page, std::string& lowered) {
  if (page.address.empty() || page.body.empty()) return false;
  lowered = ToLowerAscii(page.body);
  return true;
}

bool CarriesSignature(const std::string& lowered_body) {
  return lowered_body.find(ToLowerAscii(UpdateSignature)) != std::string::npos;
}

}  // namespace

std::string ExtractBody(std::string_view html) {
  const std::string lower = ToLowerAscii(html);
  std::size_t start = 0;
  for (;;) {
    start = lower.find("<body", start);
    if (start == std::string::npos) return {};
    // "<bodyx" is another tag.
    const std::size_t next = start + 5;
    if (next >= lower.size() || lower[next] == '>' || lower[next] == '/' || IsBlank(lower[next])) break;
    start = next;
  }
  std::size_t end = lower.find("</body", start);
  if (end == std::string::npos) return std::string(html.substr(start));
  const std::size_t close = lower.find('>', end);
  end = close == std::string::npos ? lower.size() : close + 1;
  return std::string(html.substr(start, end - start));
}

bool IsUpdatePage(const LoadedPage& page) {
  std::string lowered;
  return ReadBody(page, lowered) && CarriesSignature(lowered);
}

void ParseUpdateInfo() {
  try {
    const std::string_view text = UpdatePageText;
    const auto a = static_cast<std::ptrdiff_t>(Pos("softversion_", text)) + 12;
    const auto b = static_cast<std::ptrdiff_t>(Pos("_softversion", text));
    float version = 0.0f;
    if (ParseVersion(Copy(text, a, b - a), version)) LatestVersion = version;

    const auto c = static_cast<std::ptrdiff_t>(Pos("softurl_", text)) + 8;
    const auto d = static_cast<std::ptrdiff_t>(Pos("_softurl", text));
    DownloadUrl = Copy(text, c, d - c);
  } catch (const std::exception&) {
    // Values already set stay; the check then finds no newer version.
  }
}

bool HasNewerVersion(const LoadedPage& page) {
  try {
    std::string lowered;
    if (!ReadBody(page, lowered)) return false;
    UpdatePageText = std::move(lowered);
    if (!CarriesSignature(UpdatePageText)) return false;
    ParseUpdateInfo();
    // The single-precision value widens exactly, so 2.21 lies just above the threshold.
    return static_cast<long double>(LatestVersion) - text::kProgramVersion > NewerThreshold;
  } catch (const std::exception&) {
    return false;
  }
}

bool IsDownloadableUrl(std::string_view url) {
  const std::string lower = ToLowerAscii(url);
  std::size_t host = 0;
  if (lower.starts_with("http://"))
    host = 7;
  else if (lower.starts_with("https://"))
    host = 8;
  else
    return false;
  if (host >= lower.size() || lower[host] == '/' || lower[host] == '?' || lower[host] == '#')
    return false;
  for (char c : lower)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f' || c == '\\') return false;
  return true;
}

bool IsDownloadableFrom(std::string_view url, std::string_view page_address) {
  if (!IsDownloadableUrl(url)) return false;
  return !ToLowerAscii(page_address).starts_with("https://") || ToLowerAscii(url).starts_with("https://");
}

void ResetUpdateInfo() {
  UpdatePageText.clear();
  LatestVersion = 0.0f;
  DownloadUrl.clear();
}

}  // namespace update
