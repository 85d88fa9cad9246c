#include "engine/formats/PictureFormats.h"
#include "engine/formats/gif/GifImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
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

// A frame's graphic control block: its transparent colour (-1: none), and
// what becomes of it before the next frame is drawn.
struct Control {
  int transparent = -1;
  int disposal = DISPOSAL_UNSPECIFIED;
  int delay = 0;  // hundredths of a second the frame is shown
};

Control ControlOf(const GifByteType* block) {
  if (!block || block[0] < 4) return {};
  return {(block[1] & 1) ? block[4] : -1, (block[1] >> 2) & 7, block[2] | block[3] << 8};
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

// Reads gif's records up to its next picture's descriptor, with the
// graphic control block before it, and the loop count of a NETSCAPE2.0
// block on the way into loops; false at the file's end.
bool ToNextFrame(GifFileType* gif, Control& control, int* loops = nullptr) {
  control = {};
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) Fail(gif->Error);
    if (record == TERMINATE_RECORD_TYPE) return false;
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE) control = ControlOf(block);
      bool looping = code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11 &&
                     std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
        if (looping && loops && block && block[0] >= 3 && block[1] == 1) *loops = block[2] | block[3] << 8;
        looping = false;
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif->Error);
    return true;
  }
}

// The first picture's descriptor, and the transparent colour its graphic
// control block names, or -1.
int ToFirstFrame(GifFileType* gif) {
  Control control;
  if (!ToNextFrame(gif, control)) throw img::ImageError(img::ErrorCode::Format, "GIF: the file holds no picture");
  return control.transparent;
}

// Passes over the coded data of the frame whose descriptor was just read,
// undecoded.
void SkipFrame(GifFileType* gif) {
  int size = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &size, &block) == GIF_ERROR) Fail(gif->Error);
  while (block)
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
}

// The frames after the one just decoded, counted by their descriptors
// without decoding them; a broken one ends the count, as viewers stop there.
int FramesAfter(GifFileType* gif) {
  int frames = 0;
  try {
    Control control;
    while (ToNextFrame(gif, control)) {
      ++frames;
      SkipFrame(gif);
    }
  } catch (const img::ImageError&) {
  }
  return frames;
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

namespace {

// The colours a frame's indices name: its own table, else the screen's.
// Indices past the table are black, as most viewers show them.
std::array<GifColorType, 256> FrameColours(const GifFileType* gif) {
  const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
  if (!map) throw img::ImageError(img::ErrorCode::Format, "GIF: the picture has no colour table");
  std::array<GifColorType, 256> colours{};
  std::copy_n(map->Colors, std::clamp(map->ColorCount, 0, 256), colours.begin());
  return colours;
}

// Decodes the frame whose descriptor was just read onto picture (24 or 32
// bits), its part off the screen left out. With over, its transparent
// pixels leave what is below them; without, they are clear in its colour.
void DrawFrame(GifFileType* gif, int transparent, bool over, img::Bitmap& picture) {
  const GifImageDesc& frame = gif->Image;
  // Its rows are decoded in full even where they leave the screen.
  img::CheckPictureSize(frame.Width, frame.Height);
  const std::array<GifColorType, 256> colours = FrameColours(gif);
  const bool alpha = picture.format() == img::PixelFormat::Bits32Alpha;
  const std::size_t bytes = alpha ? 4 : 3;
  std::vector<GifPixelType> row(static_cast<std::size_t>(std::max(frame.Width, 1)));
  for (int y : StoredRowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif, row.data(), frame.Width) == GIF_ERROR) Fail(gif->Error);
    const int at = frame.Top + y;
    if (at >= picture.height()) continue;
    std::uint8_t* line = picture.ScanLine(at);
    for (int x = 0; x < frame.Width && frame.Left + x < picture.width(); ++x) {
      const GifPixelType index = row[static_cast<std::size_t>(x)];
      if (over && index == transparent) continue;
      const GifColorType& c = colours[index];
      std::uint8_t* p = line + static_cast<std::size_t>(frame.Left + x) * bytes;
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
      if (alpha) p[3] = index == transparent ? 0 : 255;
    }
  }
}

// Clears the screen where the frame just drawn stood.
void ClearFrame(const GifImageDesc& frame, img::Bitmap& screen) {
  const int left = std::clamp(frame.Left, 0, screen.width()), right = std::clamp(frame.Left + frame.Width, left, screen.width());
  for (int y = std::max(frame.Top, 0); y < std::min(frame.Top + frame.Height, screen.height()); ++y)
    std::memset(screen.ScanLine(y) + static_cast<std::size_t>(left) * 4, 0, static_cast<std::size_t>(right - left) * 4);
}

bool Opaque(const img::Bitmap& picture) {
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* line = picture.ScanLine(y);
    for (int x = 0; x < picture.width(); ++x)
      if (line[static_cast<std::size_t>(x) * 4 + 3] != 255) return false;
  }
  return true;
}

// The frames as a viewer shows them, up to frame last: each drawn over the
// screen (clear at first) in turn, and disposed of as its control block
// says before the next; shown is given each screen with its frame's
// control. Past the file's last frame, throws for last, the frames counted.
template <class Shown>
void ShowFrames(GifFileType* gif, int last, int* loops, Shown&& shown) {
  img::Bitmap screen = img::Bitmap::Unfilled(gif->SWidth, gif->SHeight, img::PixelFormat::Bits32Alpha);
  for (int y = 0; y < screen.height(); ++y) std::memset(screen.ScanLine(y), 0, static_cast<std::size_t>(screen.width()) * 4);
  img::Bitmap before;
  for (int frame = 0; frame <= last; ++frame) {
    Control control;
    if (!ToNextFrame(gif, control, loops)) {
      if (frame == 0) throw img::ImageError(img::ErrorCode::Format, "GIF: the file holds no picture");
      CheckPageHeld(last, frame, "frame");  // past the last: last >= frame here
    }
    if (frame < last && control.disposal == DISPOSE_PREVIOUS) before = screen;
    DrawFrame(gif, control.transparent, true, screen);
    shown(screen, control, frame == last);
    if (control.disposal == DISPOSE_BACKGROUND) ClearFrame(gif->Image, screen);
    if (control.disposal == DISPOSE_PREVIOUS && !before.empty()) std::swap(screen, before);
  }
}

// Frame page (1 or later) as a viewer shows it: 24 bits where the screen is
// opaque, else 32 with alpha.
img::Bitmap ComposedFrame(GifFileType* gif, int page) {
  img::Bitmap shown;
  ShowFrames(gif, page, nullptr, [&](img::Bitmap& screen, const Control&, bool last) {
    if (last) shown = screen;
  });
  if (Opaque(shown)) shown.ConvertTo24();
  return shown;
}

// Every frame of the file, as a viewer shows it, with its time and the
// loop count: NETSCAPE2.0's (0 for ever), one play without it. A frame
// that cannot be read ends the animation there, as viewers stop there.
void ReadAnimation(std::span<const std::uint8_t> file, int frames, Animation& animation) {
  Reader reader{file};
  int error = 0;
  Gif gif(DGifOpen(&reader, Read, &error));
  if (!gif) Fail(error);
  animation.clear();
  animation.loops = 1;
  try {
    ShowFrames(gif.get(), frames - 1, &animation.loops, [&](img::Bitmap& screen, const Control& control, bool) {
      animation.frames.push_back({screen, control.delay * 10});
    });
  } catch (const img::ImageError& e) {
    if (animation.frames.empty() || e.code() == img::ErrorCode::OutOfMemory) throw;
  }
}

}  // namespace

int DecodeGif(std::span<const std::uint8_t> file, img::Bitmap& out, int page, Animation* animation) {
  Reader reader{file};
  int error = 0;
  Gif gif(DGifOpen(&reader, Read, &error));
  if (!gif) Fail(error);
  const int width = gif->SWidth, height = gif->SHeight;
  img::CheckPictureSize(width, height);

  img::Bitmap picture;
  if (page > 0) {
    picture = ComposedFrame(gif.get(), page);
  } else {
    const int transparent = ToFirstFrame(gif.get());
    const GifImageDesc& frame = gif->Image;
    const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= width && frame.Height >= height;
    const bool alpha = FirstFrameHasAlpha(gif.get(), transparent);
    picture = img::Bitmap::Unfilled(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
    if (!covers)
      for (int y = 0; y < height; ++y) std::memset(picture.ScanLine(y), 0, static_cast<std::size_t>(width) * 4);
    DrawFrame(gif.get(), transparent, false, picture);
  }
  const int frames = page + 1 + FramesAfter(gif.get());
  if (animation) {
    animation->clear();
    if (page == 0 && frames > 1) ReadAnimation(file, frames, *animation);
  }
  std::swap(out, picture);
  return frames;
}

PictureSize LoadGif(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  codecs.NotePictures(DecodeGif(img::ReadWholeFile(path), picture, codecs.Page(), codecs.AnimationPlace()), "frame");
  return {picture.width(), picture.height()};
}

HeaderFacts GifFacts(PictureHead head, const std::filesystem::path& file) {
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
  // The frames are counted through the file, their data passed over.
  try {
    const std::vector<std::uint8_t> whole = img::ReadWholeFile(file);
    Reader reader{whole};
    int error = 0;
    if (Gif gif{DGifOpen(&reader, Read, &error)}) {
      Control control;
      if (ToNextFrame(gif.get(), control)) {
        SkipFrame(gif.get());
        facts.frames = 1 + FramesAfter(gif.get());
      }
    }
  } catch (const std::exception&) {
  }
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
