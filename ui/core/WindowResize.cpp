#include "ui/core/WindowResize.h"

#include <climits>
#include <variant>
#include <optional>

namespace ui {

namespace {

std::optional<long long> BoxNumber(const std::string& text) {
  long long value = 0;
  if (!ParseWholeNumber(text, value)) return std::nullopt;
  return value;
}

}  // namespace

bool ParseWholeNumber(const std::string& text, long long& value) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) i = 1;
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    v = v > (LLONG_MAX - digit) / 10 ? LLONG_MAX : v * 10 + digit;
  }
  value = negative ? -v : v;
  return true;
}

engine::Resize WindowResize(int zoomType, const std::string& widthText, const std::string& heightText,
                            bool keepRatio) {
  engine::Resize resize;
  if (zoomType == 1) resize.to = engine::SizeBoxes{BoxNumber(widthText), BoxNumber(heightText), keepRatio};
  return resize;
}

bool GivesASize(const engine::Resize& resize) {
  const auto* boxes = std::get_if<engine::SizeBoxes>(&resize.to);
  const auto usable = [](const std::optional<long long>& n) { return n && *n >= 1; };
  return !boxes || usable(boxes->width) || usable(boxes->height);
}

}  // namespace ui
