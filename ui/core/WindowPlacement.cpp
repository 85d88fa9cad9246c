#include "ui/core/WindowPlacement.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "ui/core/SettingsKeys.h"

namespace ui {

namespace {

// Whole numbers separated by commas, each at most a screen's span apart
// from zero; anything else gives nothing.
std::vector<int> NumberList(std::string_view text) {
  constexpr int kLimit = 100000;
  std::vector<int> numbers;
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find(',', start), text.size());
    int value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + end;
    const auto [stop, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || stop != last || value < -kLimit || value > kLimit) return {};
    numbers.push_back(value);
    if (end == text.size()) return numbers;
    start = end + 1;
  }
}

std::string ListText(const std::vector<int>& numbers) {
  std::string text;
  for (int n : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(n);
  }
  return text;
}

}  // namespace

WindowPlacement ReadWindowPlacement(const SettingsFile& file, int panes) {
  namespace s = settings;
  WindowPlacement placement;
  const std::vector<int> rect = NumberList(s::ReadText(file, s::kWindowRect, {}));
  if (rect.size() == 4 && rect[2] > 0 && rect[3] > 0) placement.rect = WindowRect{rect[0], rect[1], rect[2], rect[3]};
  placement.maximized = s::ReadFlag(file, s::kWindowMaximized);
  std::vector<int> widths = NumberList(s::ReadText(file, s::kPaneWidths, {}));
  if (static_cast<int>(widths.size()) == panes &&
      std::all_of(widths.begin(), widths.end(), [](int w) { return w >= 0; }))
    placement.paneWidths = std::move(widths);
  return placement;
}

void WriteWindowPlacement(SettingsFile& file, const WindowPlacement& placement) {
  namespace s = settings;
  if (placement.rect) {
    const WindowRect& r = *placement.rect;
    s::Write(file, s::kWindowRect, ListText({r.x, r.y, r.width, r.height}));
  }
  s::Write(file, s::kWindowMaximized, placement.maximized);
  if (!placement.paneWidths.empty()) s::Write(file, s::kPaneWidths, ListText(placement.paneWidths));
}

}  // namespace ui
