#pragma once
// The formats the window shows: its four (BMP, JPG, JPEG, PNG), each with
// its check box, whose name is also its settings key. The format table
// (engine/formats) knows nothing of the window; this is the window's view
// of it.

#include <span>
#include <string>
#include <vector>

#include "engine/formats/PictureFormats.h"

namespace ui {

struct WindowFormat {
  const char* format;  // the table's name of it
  const char* box;     // its check box and settings key
};

// In the order a selected run's end looks for the converted picture to
// select among the ticked formats: PNG, JPEG, BMP, then JPG (not the order
// the targets are written in).
std::span<const WindowFormat> WindowFormats();

// format's check box; nullptr for a format the window does not show.
const char* WindowBoxOf(const engine::PictureFormat& format);

// The ticked format a selected run ends on; nullptr when none of the
// window's is ticked.
const engine::PictureFormat* FinalFormat(const engine::FormatTicks& ticked);

// The window's entry whose extension equals ext, case ignored (no blanks
// trimmed); nullptr for any other.
const engine::PictureFormat* FindWindowFormat(const std::string& ext);

// True when ext, trimmed of blanks, is the extension of one of the
// window's formats: what its lists show and its folder run converts.
bool IsPictureExtension(const std::string& ext);

// Their extensions in the order the folder listing checks them.
const std::vector<std::string>& WindowPictureExtensions();

}  // namespace ui
