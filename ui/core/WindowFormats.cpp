#include "ui/core/WindowFormats.h"

#include <cstring>

#include "platform/PathNames.h"

namespace ui {

namespace {

constexpr WindowFormat kWindowFormats[] = {
    {"png", "CbPNG"},
    {"jpeg", "CBJPEG"},
    {"bmp", "CBBMP"},
    {"jpg", "CbJPG"},
};

}  // namespace

std::span<const WindowFormat> WindowFormats() { return kWindowFormats; }

const char* WindowBoxOf(const engine::PictureFormat& format) {
  for (const WindowFormat& f : kWindowFormats)
    if (std::strcmp(f.format, format.name) == 0) return f.box;
  return nullptr;
}

const engine::PictureFormat* FinalFormat(const engine::FormatTicks& ticked) {
  for (const WindowFormat& f : kWindowFormats)
    if (ticked.Has(engine::FormatNamed(f.format))) return &engine::FormatNamed(f.format);
  return nullptr;
}

const engine::PictureFormat* FindWindowFormat(const std::string& ext) {
  return engine::FindFormatByExtension(ext);
}

bool IsPictureExtension(const std::string& ext) { return FindWindowFormat(img::TrimBlanks(ext)) != nullptr; }

const std::vector<std::string>& WindowPictureExtensions() {
  return engine::PictureExtensions();
}

}  // namespace ui
