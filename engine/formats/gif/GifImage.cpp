#include "engine/formats/PictureFormats.h"
#include "engine/formats/gif/GifImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

struct Reader {
  std::span<const std::uint8_t> file;
  std::size_t at = 0;
};

int Read(GifFileType* gif, GifByteType* into, int count) {
  auto& reader = *static_cast<Reader*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                              reader.file.size() - reader.at);
  std::memcpy(into, reader.file.data() + reader.at, n);
  reader.at += n;
  return static_cast<int>(n);
}

struct Closer {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using Gif = std::unique_ptr<GifFileType, Closer>;

[[noreturn]] void Fail(int error) {
  const img::ErrorCode code = error == D_GIF_ERR_READ_FAILED || error == D_GIF_ERR_EOF_TOO_SOON
                                  ? img::ErrorCode::Truncated
                              : error == D_GIF_ERR_NOT_ENOUGH_MEM ? img::ErrorCode::OutOfMemory
                                                                  : img::ErrorCode::Format;
  const char* words = GifErrorString(error);
  throw img::ImageError(code, std::string("GIF: ") + (words ? words : "cannot be decoded"));
}

// The graphic control block's transparent colour, or -1.
int TransparentIndex(const GifByteType* block) {
  return block && block[0] >= 4 && (block[1] & 1) ? block[4] : -1;
}

// The rows of a frame in the order they are stored: interlaced frames in
// four passes.
std::vector<int> StoredRowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int y = start; y < height; y += step) order.push_back(y);
  return order;
}

// Reads gif's records up to its first picture's descriptor, and gives the
// transparent colour its graphic control block names, or -1.
int ToFirstFrame(GifFileType* gif) {
  int transparent = -1;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) Fail(gif->Error);
    if (record == TERMINATE_RECORD_TYPE)
      throw img::ImageError(img::ErrorCode::Format, "GIF: the file holds no picture");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE) transparent = TransparentIndex(block);
      while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif->Error);
    return transparent;
  }
}

// The first picture has alpha: a transparent colour, or a frame that leaves
// part of the screen uncovered.
bool FirstFrameHasAlpha(GifFileType* gif, int transparent) {
  const GifImageDesc& frame = gif->Image;
  const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= gif->SWidth && frame.Height >= gif->SHeight;
  return transparent >= 0 || !covers;
}

}  // namespace

bool IsGif(PictureHead head) {
  return head.size() >= 6 &&
         (std::memcmp(head.data(), "GIF87a", 6) == 0 || std::memcmp(head.data(), "GIF89a", 6) == 0);
}

void DecodeGif(std::span<const std::uint8_t> file, img::Bitmap& out) {
  Reader reader{file};
  int error = 0;
  Gif gif(DGifOpen(&reader, Read, &error));
  if (!gif) Fail(error);
  const int width = gif->SWidth, height = gif->SHeight;
  img::CheckPictureSize(width, height);

  const int transparent = ToFirstFrame(gif.get());
  const GifImageDesc& frame = gif->Image;
  // Its rows are decoded in full even where they leave the screen.
  img::CheckPictureSize(frame.Width, frame.Height);
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!map) throw img::ImageError(img::ErrorCode::Format, "GIF: the picture has no colour table");
  // Indices past the table are black, as most viewers show them.
  std::array<GifColorType, 256> colours{};
  std::copy_n(map->Colors, std::clamp(map->ColorCount, 0, 256), colours.begin());

  const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= width && frame.Height >= height;
  const bool alpha = FirstFrameHasAlpha(gif.get(), transparent);
  img::Bitmap picture = img::Bitmap::Unfilled(width, height, alpha ? img::PixelFormat::Bits32Alpha
                                                                   : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  if (!covers)
    for (int y = 0; y < height; ++y) std::memset(picture.ScanLine(y), 0, static_cast<std::size_t>(width) * 4);
  std::vector<GifPixelType> row(static_cast<std::size_t>(std::max(frame.Width, 1)));
  for (int y : StoredRowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), row.data(), frame.Width) == GIF_ERROR) Fail(gif->Error);
    const int at = frame.Top + y;
    if (at >= height) continue;
    std::uint8_t* line = picture.ScanLine(at);
    for (int x = 0; x < frame.Width && frame.Left + x < width; ++x) {
      const GifColorType& c = colours[row[static_cast<std::size_t>(x)]];
      std::uint8_t* p = line + static_cast<std::size_t>(frame.Left + x) * static_cast<std::size_t>(bytes);
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
      if (alpha) p[3] = row[static_cast<std::size_t>(x)] == transparent ? 0 : 255;
    }
  }
  std::swap(out, picture);
}

PictureSize LoadGif(PictureCodecs&, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  DecodeGif(img::ReadWholeFile(path), picture);
  return {picture.width(), picture.height()};
}

HeaderFacts GifFacts(PictureHead head, const std::filesystem::path&) {
  HeaderFacts facts;
  if (!IsGif(head) || head.size() < 10) return facts;
  facts.width = head[6] | head[7] << 8;
  facts.height = head[8] | head[9] << 8;
  // Whether the first picture is clear somewhere is told past the colour
  // tables and the blocks before it; where the head ends before that, it is
  // counted as having alpha, the larger need.
  bool alpha = true;
  try {
    Reader reader{head};
    int error = 0;
    if (Gif gif{DGifOpen(&reader, Read, &error)}) alpha = FirstFrameHasAlpha(gif.get(), ToFirstFrame(gif.get()));
  } catch (const img::ImageError&) {
  }
  facts.decoded = facts.worked = alpha ? 4 : 3;
  facts.alpha = alpha;
  return facts;
}

namespace {

// Read only.
constexpr PictureFormat kGif[] = {
    {"gif", ".gif", IsGif, LoadGif, nullptr, GifFacts, nullptr, {}, AlphaKept::None, false},
};

}  // namespace

std::span<const PictureFormat> GifFormats() { return kGif; }

}  // namespace engine
