// A whole single-picture conversion: the input bytes become a source file,
// converted to all four formats in a temporary folder that is emptied after
// each input. The first byte picks the source's extension so that a file
// starting like a BMP, PNG or JPEG gets its own kind by default (and other
// spellings and mismatches come from mutation); the last byte picks rotation,
// resize (cutting to cover the box, growing) or, with none, JPEG targets
// alone, and whether every piece of metadata is carried, so the turning,
// shrinking and metadata code runs on decoded pictures too, a JPEG's turn
// on its coded data (never decoded with JPEG targets alone), and whether
// targets are named by their size, which reads the file's header before it
// is decoded.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzLimits.h"
#include "FuzzTempDir.h"
#include "engine/plan/RunPlan.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"

namespace {

// Index by first byte % 8: 'B' (0x42) gives 2, 0x89 (PNG) gives 1, 0xFF (JPEG) gives 7.
constexpr const char* kExtensions[8] = {".jpg", ".png", ".bmp", ".JPEG",
                                        ".Png", ".BMP", ".jpeg", ".jpg"};

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kConversionPixels);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::FuzzTempDir dir("convert");
  const std::string folder = dir.path().string() + "/";
  const std::string source = folder + "source" + kExtensions[size ? data[0] % 8 : 0];
  if (!WriteFile(source, data, size)) return 0;
  const std::uint8_t last = size ? data[size - 1] : 0;

  engine::ConversionOptions options;
  options.rotation = last & 3;
  if ((last >> 2) & 1) {
    if ((last >> 6) & 1)
      options.resize.to = engine::CoverBox{37, 23};
    else
      options.resize.to = engine::SizeBoxes{37, 23, static_cast<bool>((last >> 3) & 1)};
  } else if ((last >> 6) & 1) {
    options.targets = engine::FormatTicks::Named({"jpg", "jpeg"});  // a JPEG's turn from its coded data alone
  }
  options.jpegLosslessTurn = true;
  if ((last >> 4) & 1) options.metadata = engine::CarriedMetadata::All;
  if ((last >> 5) & 1) options.nameTemplate = "{name}_{w}x{h}";
  options.resize.enlarge = (last >> 7) & 1;
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  const std::string out = folder + "out/";
  std::filesystem::create_directories(out);
  (void)engine::ConvertAlone(converter, source, out);
  dir.Empty();
  return 0;
}
