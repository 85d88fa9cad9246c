#include "update/core/PageView.h"

#include <algorithm>
#include <array>

namespace update {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

// Elements whose text starts on a line of its own.
bool BreaksLine(std::string_view name) {
  static constexpr std::array<std::string_view, 22> kNames = {
      "address", "blockquote", "br", "dd", "div", "dl", "dt", "h1", "h2", "h3", "h4",
      "h5",      "h6",         "hr", "li", "ol",  "p",  "pre", "table", "title", "tr", "ul"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character a reference "&name;" stands for, as UTF-8; empty when it is
// none this reader knows.
std::string DecodeReference(std::string_view name) {
  if (name == "amp") return "&";
  if (name == "lt") return "<";
  if (name == "gt") return ">";
  if (name == "quot") return "\"";
  if (name == "apos") return "'";
  if (name == "nbsp") return " ";
  if (name.size() < 2 || name[0] != '#') return {};
  const bool hex = name[1] == 'x' || name[1] == 'X';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return {};
  std::uint32_t cp = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f')
      digit = LowerAscii(c) - 'a' + 10;
    else
      return {};
    cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    if (cp > 0x10FFFF) return {};
  }
  if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  std::string utf8;
  AppendUtf8(utf8, cp);
  return utf8;
}

// Text with blanks collapsed: one space between words, one line break
// between blocks, none at either end.
class PlainText {
 public:
  void Blank() { blank_ = !text_.empty(); }
  void Break() { brk_ = !text_.empty(); }
  void Add(std::string_view words) {
    if (words.empty()) return;
    if (brk_)
      text_ += '\n';
    else if (blank_)
      text_ += ' ';
    brk_ = blank_ = false;
    text_ += words;
  }
  std::size_t size() const { return text_.size(); }

  std::string Finish(std::size_t max_bytes) {
    if (text_.size() <= max_bytes) return std::move(text_);
    static constexpr std::string_view kEllipsis = "…";
    std::size_t cut = max_bytes > kEllipsis.size() ? max_bytes - kEllipsis.size() : 0;
    // Back to the first byte of a character.
    while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80) --cut;
    text_.resize(cut);
    return max_bytes >= kEllipsis.size() ? text_ + std::string(kEllipsis) : text_;
  }

 private:
  std::string text_;
  bool blank_ = false;
  bool brk_ = false;
};

}  // namespace

MarkupLoad MeasureMarkup(std::string_view html) {
  MarkupLoad load;
  load.bytes = html.size();
  for (char c : html) {
    if (c == '<')
      ++load.tags;
    else if (c == '{' || c == ',' || c == '&')
      ++load.ruleMarks;
  }
  return load;
}

bool FitsPageView(std::string_view html) {
  if (html.size() > kMaxViewBytes) return false;
  const MarkupLoad load = MeasureMarkup(html);
  // At most 2^18 of each, so the product stays far inside 64 bits.
  const std::uint64_t tags = load.tags;
  return tags * tags * (1 + static_cast<std::uint64_t>(load.ruleMarks)) <= kMaxViewWork;
}

std::string PageText(std::string_view body, std::size_t max_bytes) {
  const std::string lower = LowerAscii(body);
  PlainText text;
  std::size_t i = 0;
  // Every search goes on from where the one before ended, or ends the scan:
  // the whole text is read once.
  while (i < body.size() && text.size() <= max_bytes) {
    const char c = body[i];
    if (c == '<') {
      if (lower.compare(i, 4, "<!--") == 0) {
        const std::size_t end = lower.find("-->", i + 4);
        i = end == std::string::npos ? body.size() : end + 3;
        continue;
      }
      std::size_t end = lower.find('>', i + 1);
      end = end == std::string::npos ? body.size() : end + 1;
      std::size_t n = i + 1;
      const bool closing = n < end && lower[n] == '/';
      if (closing) ++n;
      const std::size_t name_start = n;
      while (n < end && IsAsciiAlnum(lower[n])) ++n;
      const std::string_view name(lower.data() + name_start, n - name_start);
      i = end;
      if (!closing && (name == "script" || name == "style")) {
        // Their content is code, not words.
        const std::size_t close = lower.find("</" + std::string(name), i);
        const std::size_t after = close == std::string::npos ? std::string::npos : lower.find('>', close);
        i = after == std::string::npos ? body.size() : after + 1;
      } else if (BreaksLine(name)) {
        text.Break();
      } else if (name == "td" || name == "th") {
        text.Blank();  // cells side by side; inline tags join their words
      }
      continue;
    }
    if (c == '&') {
      // References are short: look no further than their longest.
      const std::size_t semicolon = body.substr(0, std::min(body.size(), i + 12)).find(';', i + 1);
      if (semicolon != std::string_view::npos) {
        const std::string decoded = DecodeReference(body.substr(i + 1, semicolon - i - 1));
        if (decoded == " ") {
          text.Blank();
          i = semicolon + 1;
          continue;
        }
        if (!decoded.empty()) {
          text.Add(decoded);
          i = semicolon + 1;
          continue;
        }
      }
      text.Add("&");
      ++i;
      continue;
    }
    if (IsBlank(c)) {
      text.Blank();
      ++i;
      continue;
    }
    std::size_t run = i + 1;
    while (run < body.size() && body[run] != '<' && body[run] != '&' && !IsBlank(body[run])) ++run;
    text.Add(body.substr(i, run - i));
    i = run;
  }
  return text.Finish(max_bytes);
}

}  // namespace update
