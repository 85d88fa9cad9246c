#include "app/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace app {

namespace {

// The length of the well-formed UTF-8 sequence at text[i] and its code
// point; 0 when the byte starts none.
std::size_t Utf8At(std::string_view text, std::size_t i, std::uint32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  std::size_t length;
  std::uint32_t least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

void Escape(std::string& out, const char* format, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, value);
  out += buffer;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
      ++i;
    } else if (c < 0x80) {
      Escape(out, "\\x%02x", c);  // the other controls and DEL
      ++i;
    } else {
      std::uint32_t code = 0;
      const std::size_t length = Utf8At(text, i, code);
      if (length == 0) {
        Escape(out, "\\x%02x", c);
        ++i;
      } else if (code <= 0x9F) {
        Escape(out, "\\u%04x", code);  // C1 controls
        i += length;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
    }
  }
  return out;
}

}  // namespace app
