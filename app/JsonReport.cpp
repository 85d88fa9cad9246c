#include "app/JsonReport.h"

#include <cstdio>
#include <filesystem>

#include "platform/FileIO.h"

namespace app {

namespace {

// The length of the valid UTF-8 character at text[i] (RFC 3629: no
// overlong forms, no surrogates, nothing past U+10FFFF); 0 for none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  auto tail = [&](std::size_t k) { return (at(k) & 0xC0) == 0x80; };
  const unsigned b = at(0);
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return tail(1) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    const unsigned low = b == 0xE0 ? 0xA0 : 0x80, high = b == 0xED ? 0x9F : 0xBF;
    return at(1) >= low && at(1) <= high && tail(2) ? 3 : 0;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    const unsigned low = b == 0xF0 ? 0x90 : 0x80, high = b == 0xF4 ? 0x8F : 0xBF;
    return at(1) >= low && at(1) <= high && tail(2) && tail(3) ? 4 : 0;
  }
  return 0;
}

// A cause's name as a JSON value: a string, or null where none is told.
std::string CauseValue(text::FailureCause cause) {
  const char* name = text::JsonName(cause);
  return name ? JsonString(name) : "null";
}

std::string Failure(const std::string& path, const char* code, const std::string& cause, const std::string& reason) {
  return "{\"path\":" + JsonString(path) + ",\"code\":\"" + code + "\",\"cause\":" + cause +
         ",\"reason\":" + JsonString(reason) + "}";
}

std::string Strings(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) {
    if (out.size() > 1) out += ',';
    out += JsonString(item);
  }
  return out + "]";
}

// The file's size in bytes, or null where it cannot be told.
std::string FileBytes(const std::string& path) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(img::PathFromUtf8(path), ec);
  return ec ? std::string("null") : std::to_string(bytes);
}

// What the source was: its picture's size and kind as it was read (null
// when it was not decoded), its bytes, and the picture's time to a tenth of
// a millisecond (null when it never started).
std::string SourceFields(const std::string& source, const engine::ConversionReport& report) {
  const bool read = report.sourceKind != nullptr;
  char ms[32] = "null";
  if (report.milliseconds) std::snprintf(ms, sizeof ms, "%.1f", *report.milliseconds);
  return ",\"width\":" + (read ? std::to_string(report.sourceSize.width) : "null") +
         ",\"height\":" + (read ? std::to_string(report.sourceSize.height) : "null") +
         ",\"kind\":" + (read ? JsonString(report.sourceKind) : "null") + ",\"bytes\":" + FileBytes(source) +
         ",\"milliseconds\":" + ms;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8Length(text, i);
    char escape[8];
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\udc%02x", c);
      out += escape;
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out + "\"";
}

std::string PictureJson(const std::string& source, const engine::ConversionReport& report) {
  std::string targets = "[";
  for (std::size_t t = 0; t < report.written.size(); ++t) {
    const engine::TargetSize size = t < report.writtenSizes.size() ? report.writtenSizes[t] : engine::TargetSize{};
    if (t > 0) targets += ',';
    targets += "{\"path\":" + JsonString(report.written[t]) +
               ",\"width\":" + std::to_string(size.width) + ",\"height\":" + std::to_string(size.height) +
               ",\"bytes\":" + FileBytes(report.written[t]);
    // Only a target --max-size searched has a quality of its own to tell.
    if (t < report.writtenQualities.size() && report.writtenQualities[t] > 0)
      targets += ",\"quality\":" + std::to_string(report.writtenQualities[t]);
    targets += "}";
  }
  std::string failures = "[";
  for (const engine::ConversionFailure& f : report.failures) {
    if (failures.size() > 1) failures += ',';
    failures += Failure(f.path, text::JsonName(f.code), CauseValue(f.cause),
                        text::DescribeFailure(f.code, f.detail, text::FailureLanguage::English, f.cause));
  }
  return "{\"source\":" + JsonString(source) + SourceFields(source, report) + ",\"targets\":" + targets +
         "],\"skipped\":" + Strings(report.skipped) +
         ",\"failures\":" + failures + "],\"warnings\":" + Strings(report.warnings) + "}\n";
}

std::string UnreadJson(const engine::UnreadPath& unread) {
  return "{\"source\":" + JsonString(unread.path) + SourceFields(unread.path, {}) + ",\"targets\":[],\"skipped\":[],\"failures\":[" +
         Failure(unread.path, "not_read", "null", unread.reason) + "],\"warnings\":[]}\n";
}

}  // namespace app
