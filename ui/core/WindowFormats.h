#pragma once
// The formats the window writes: its four (BMP, JPG, JPEG, PNG), each with
// its check box, whose name is also its settings key; and those it reads:
// every kind the format table reads in this build (WebP, TIFF, GIF, and
// HEIC/AVIF where libheif is built in), as imgbatch does. The format table
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

// The entry the window reads whose extension equals ext, case ignored (no
// blanks trimmed); nullptr for any other.
const engine::PictureFormat* FindWindowFormat(const std::string& ext);

// True when ext, trimmed of blanks, is the extension of a kind the window
// reads: what its lists show, its previews and drops take and its runs
// convert.
bool IsPictureExtension(const std::string& ext);

// The extensions of the kinds it reads, in the order the folder listing
// checks them.
const std::vector<std::string>& WindowPictureExtensions();

}  // namespace ui
