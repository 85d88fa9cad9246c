#include "engine/convert/PictureMemory.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <vector>

#include "engine/formats/PictureHeader.h"
#include "engine/formats/PictureFormats.h"
#include "engine/convert/ResizeRules.h"
#include "engine/convert/TargetFormats.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "imaging/LinearLightResize.h"

// The need of one picture, w x h as its header says; "the picture" is the
// decoded Bitmap, stride x height at its bytes per pixel (1 for palette and
// grey pictures, 4 for 32-bit BMP and pictures with alpha, 3 for any other),
// and "the work picture" the same in the format the pixel work and
// the encoders use (1 grey, 4 alpha, 3 anything else; a palette picture
// counts as colour):
//     the file's size (every loader reads the whole file first)
//   + the picture
//   + what the decoder holds beside it, as the format's header facts say
//     (an interlaced 2-bit palette PNG: its whole picture at a byte per
//     pixel; a JPEG with several scans: libjpeg's coefficient arrays)
//   + the work picture, when it differs from the picture and the pixel work
//     or a target's writer needs it (a 24-bit copy)
//   + a picture with alpha bound for a target that does not keep it (JPEG;
//     BMP, but for a BMP source): its 24-bit copy laid over white
//   + a turn (rotation, or an EXIF orientation other than upright when
//     pictures are turned upright): the turned work picture
//   + a shrink: its result, at most the work picture; a resize that may
//     grow (enlarge): its result, and the turn, the writers' copies and
//     bytes after it count at that size when it is the larger (the source
//     taken either way up, since an EXIF turn may come first)
//   + a smooth resize (a kernel chosen, or a resize that grows): the
//     working memory the resampler may take for that size
//     (ResizeWorkingBytes), the source again taken either way up
//   + a crop: the part kept, at most the work picture
//   + a pad: its canvas at the box's size (3 bytes a pixel for a grey
//     picture on a chosen background); the turn, the shrink and the
//     writers then count at that size when it is the larger
//   + each ticked target's writer, once per writer, as the format table
//     says: its encoded bytes, counted as half the work picture (JPEG,
//     WebP), its own copy of the pixels (libwebp's w x h x 4) and, for a
//     grey picture it cannot encode, the 24-bit copy it is encoded from;
//     a JPEG source turned in its coded data for a JPEG target (options'
//     jpegLosslessTurn): the file three times over and two coefficient
//     arrays of two bytes a sample, every component at full size
//   + an animation bound for WebP (GIF, WebP sources of several frames,
//     the first page asked for): each frame at 32 bits, at the larger of
//     its decoded and made size, and six canvases of the animation encoder
// A header that cannot be read, or a size the loaders refuse before they
// allocate, leaves the file's size alone. Sizes within the loaders' limits
// keep every product far inside 64 bits; the sums saturate all the same.

namespace engine {

namespace {

std::uint64_t Add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max()
                                                           : a + b;
}

bool WithinLimits(long long width, long long height) {
  try {
    img::CheckPictureSize(width, height);
    return true;
  } catch (const img::ImageError&) {
    return false;
  }
}

}  // namespace

std::uint64_t EstimatedNeedBytes(const std::string& path, const ConversionOptions& options) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  const std::uint64_t file_bytes = ec ? 0 : static_cast<std::uint64_t>(size);

  // The header of the kind the loader will read, as LoadPicture chooses it.
  const std::vector<std::uint8_t> head = img::ReadFileHead(file, kHeadBytes);
  const PictureFormat* format = ChooseLoader(head, path);
  if (!format) return file_bytes;
  const HeaderFacts facts = format->facts(head, file);
  if (!WithinLimits(facts.width, facts.height)) return file_bytes;

  std::uint64_t pixels = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
  // Rows padded to four bytes, as a Bitmap keeps them.
  const auto rows = [&](int bytes) {
    return (static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(bytes) + 3) / 4 * 4 *
           static_cast<std::uint64_t>(facts.height);
  };
  const std::uint64_t picture = rows(facts.decoded), copy24 = rows(3);
  const bool turn = (options.rotation >= 1 && options.rotation <= 3) || (options.autoOrient && facts.oriented);
  const Resize& resize = options.resize;
  const bool shrink = resize.Asked();
  std::uint64_t work = rows(facts.worked), resampler = 0;
  if (shrink) {
    const img::ResizeKernel kernel =
        resize.filter == ResizeFilter::Lanczos ? img::ResizeKernel::Lanczos3 : img::ResizeKernel::Mitchell;
    for (const auto& [w, h] : {std::pair{facts.width, facts.height}, std::pair{facts.height, facts.width}}) {
      const ResizePlan plan = PlanResize(static_cast<int>(w), static_cast<int>(h), resize);
      if (!plan.resizes) continue;
      if ((resize.filter != ResizeFilter::Exact || plan.grows) &&
          (plan.size.width != w || plan.size.height != h))
        resampler = std::max(resampler, img::ResizeWorkingBytes(static_cast<int>(w), static_cast<int>(h),
                                                                plan.size.width, plan.size.height, facts.worked,
                                                                kernel));
      if (!resize.enlarge) continue;
      const auto width = static_cast<std::uint64_t>(plan.size.width), height = static_cast<std::uint64_t>(plan.size.height);
      work = std::max(work, (width * static_cast<std::uint64_t>(facts.worked) + 3) / 4 * 4 * height);
      pixels = std::max(pixels, width * height);
    }
  }
  // A pad's canvas, made beside the resized picture; the writers then hold
  // copies of the canvas. A colour canvas makes a grey picture colour.
  std::uint64_t canvas = 0;
  if (const auto* pad = std::get_if<PadBox>(&resize.to)) {
    const int bytes = facts.worked == 1 && options.background ? 3 : facts.worked;
    const auto width = static_cast<std::uint64_t>(std::max(pad->width, 0));
    const auto height = static_cast<std::uint64_t>(std::max(pad->height, 0));
    canvas = (width * static_cast<std::uint64_t>(bytes) + 3) / 4 * 4 * height;
    work = std::max(work, canvas);
    pixels = std::max(pixels, width * height);
  }

  // What the ticked targets' writers hold, each writer counted once (JPG
  // and JPEG share theirs).
  bool work_copy = false, flattened = false;
  std::uint64_t writers = 0;
  std::vector<decltype(PictureFormat::write)> counted;
  FormatTicks targets = options.targets;
  if (options.ownKindTarget) {
    targets = FormatTicks::Nothing();
    targets.Set(OwnKindTarget(*format, facts.alpha), true);
  }
  for (const PictureFormat& target : PictureFormats()) {
    if (!targets.Has(target) || !target.write) continue;
    if (!KeepsAlpha(target, *format)) flattened = true;
    if (std::find(counted.begin(), counted.end(), target.write) != counted.end()) continue;
    counted.push_back(target.write);
    const WriterNeed& need = target.writerNeed;
    work_copy = work_copy || need.workPicture;
    if (need.encodedHalf) writers = Add(writers, work / 2);
    writers = Add(writers, pixels * static_cast<std::uint64_t>(need.copyBytesPerPixel));
    if (need.colourOnly && facts.worked == 1) writers = Add(writers, copy24);
    // A JPEG turned in its coded data: the file read again, its filtered
    // copy and the turned file, and the coefficient arrays it is turned
    // from and into (two bytes a sample, every component at full size at
    // most).
    if (options.jpegLosslessTurn && options.maxBytes == 0 && turn && !shrink && SameKind(*format, target) &&
        SameKind(target, FormatNamed("jpg")))
      writers = Add(writers, Add(3 * file_bytes, pixels * static_cast<std::uint64_t>(facts.worked) * 4));
  }

  std::uint64_t need = Add(Add(file_bytes, picture), facts.decoder);
  // An animation bound for a target that keeps it (WebP): every frame,
  // decoded at 32 bits and then made, and the encoder's canvases.
  const PictureFormat& webp = FormatNamed("webp");
  if (facts.frames > 1 && options.page == 0 && targets.Has(webp)) {
    const std::uint64_t frame = std::max(rows(4), pixels * 4);
    need = Add(need, Add(static_cast<std::uint64_t>(facts.frames) * frame, 6 * pixels * 4));
  }
  if ((turn || shrink || work_copy) && facts.decoded != facts.worked) need = Add(need, work);
  if (facts.alpha && flattened) need = Add(need, copy24);
  if (turn) need = Add(need, work);
  if (shrink) need = Add(Add(need, work), resampler);
  // A crop's part, made beside the picture it is cut from.
  if (options.crop.Asked()) need = Add(need, rows(facts.worked));
  return Add(Add(need, canvas), writers);
}

}  // namespace engine
