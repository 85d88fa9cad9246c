#pragma once
// Where the window was and how its splitter was divided when it closed, as
// the settings file keeps them: "x,y,width,height", a maximized flag and the
// splitter's pane widths "a,b,c". A value that is missing or malformed reads
// as nothing stored, so the window opens at its design size.

#include <optional>
#include <vector>

#include "ui/core/SettingsFile.h"

namespace ui {

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct WindowPlacement {
  std::optional<WindowRect> rect;  // the normal (not maximized) frame
  bool maximized = false;
  std::vector<int> paneWidths;     // empty: the design's widths
};

WindowPlacement ReadWindowPlacement(const SettingsFile& file, int panes);
void WriteWindowPlacement(SettingsFile& file, const WindowPlacement& placement);

}  // namespace ui
