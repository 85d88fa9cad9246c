#include "imaging/LinearLightResize.h"

#include <cmath>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "imaging/SeparableResize.h"
#include "platform/ImageError.h"

namespace {

// stb takes all its working memory in one allocation, sized by the kernel's
// reach in source lines times the target's width: small for a proportional
// shrink, huge for a tall picture squeezed to a line. Anything beyond the
// allowance is refused before it is touched.
struct Allowance {
  std::size_t bytes = 0;
  bool refused = false;
  bool failed = false;
};

void* AllowedMalloc(std::size_t size, void* context) {
  auto* allowance = static_cast<Allowance*>(context);
  if (size > allowance->bytes) {
    allowance->refused = true;
    return nullptr;
  }
  void* memory = std::malloc(size);
  if (!memory) allowance->failed = true;
  return memory;
}

}  // namespace

// The implementation lives here, private to this file; a failed check is a
// failed resize (stb returns 0), never an abort.
#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STBIR_ASSERT(x) ((void)0)
#define STBIR_MALLOC(size, context) AllowedMalloc(size, context)
#define STBIR_FREE(pointer, context) ((void)(context), std::free(pointer))
#include <stb_image_resize.h>

namespace img {

namespace {

// stb_image_resize has no Lanczos kernel; its filter table is where a new
// kernel goes. The table is this file's own copy, so one slot this file
// never uses otherwise (the cubic B-spline) holds Lanczos-3, set once.
constexpr stbir_filter kLanczosSlot = STBIR_FILTER_CUBICBSPLINE;

float Lanczos3(float x, float) {
  constexpr float kPi = 3.14159265358979f;
  x = std::fabs(x);
  if (x < 1e-6f) return 1.0f;
  if (x >= 3.0f) return 0.0f;
  const float px = kPi * x;
  return 3.0f * std::sin(px) * std::sin(px / 3.0f) / (px * px);
}

float ThreeLobes(float) { return 3.0f; }

bool InstallLanczos() {
  stbir__filter_info_table[kLanczosSlot] = {Lanczos3, ThreeLobes};
  return true;
}

stbir_filter FilterOf(ResizeKernel kernel) {
  static const bool installed = InstallLanczos();
  (void)installed;
  return kernel == ResizeKernel::Lanczos3 ? kLanczosSlot : STBIR_FILTER_MITCHELL;
}

double Reach(ResizeKernel kernel) { return kernel == ResizeKernel::Lanczos3 ? 3 : 2; }

// The kernels in double for the separable resize, from their definitions.
double LanczosAt(double x) {
  const double pi = 3.14159265358979323846;
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  return 3 * std::sin(pi * x) * std::sin(pi * x / 3) / (pi * pi * x * x);
}

double MitchellAt(double x) {
  x = std::fabs(x);
  if (x < 1) return (21 * x * x * x - 36 * x * x + 16) / 18;
  if (x < 2) return (-7 * x * x * x + 36 * x * x - 60 * x + 32) / 18;
  return 0;
}

// A target side of out pixels from a source side of in: stb's own scale,
// and the source pixels the kernel reaches to either side of a target
// pixel's centre.
float Scale(int in, int out) { return static_cast<float>(out) / static_cast<float>(in); }
double SourceReach(int in, int out, double reach) { return reach / std::min(1.0, static_cast<double>(Scale(in, out))); }

// At least the working memory stb takes for one call (its own sum is 32-bit
// and would wrap for the sizes this guards against): inColumns source
// columns to outColumns target columns of a resize of inW x inH to
// outW x outH. Per side the lines the kernel reaches, ceil(2 * reach /
// scale), as margins and as the ring of target rows the source rows are
// added into, and the tables of weights.
std::uint64_t CallBytes(int inColumns, int outColumns, int inW, int inH, int outW, int outH, int channels,
                        double reach) {
  const auto lines = [reach](int in, int out) {
    return static_cast<std::uint64_t>(std::ceil(2 * reach * std::max(1.0, static_cast<double>(in) / out))) + 2;
  };
  const std::uint64_t across = lines(inW, outW), down = lines(inH, outH);
  const std::uint64_t weights = static_cast<std::uint64_t>(std::ceil(2 * reach)) + 1;
  const std::uint64_t columns = static_cast<std::uint64_t>(std::max(inColumns, outColumns)) + across;
  const std::uint64_t rows = static_cast<std::uint64_t>(std::max(inH, outH)) + down;
  const std::uint64_t c = static_cast<std::uint64_t>(channels), w = static_cast<std::uint64_t>(outColumns);
  return (columns + rows) * (8 + 4 * weights) + columns * c * 4 + w * c * 4 * (down + 2);
}

// A call's working memory beyond this is split into bands of target columns.
constexpr std::uint64_t kBandBytes = std::uint64_t{64} << 20;

// Source columns a band of `columns` target columns reads, at most.
int BandSourceColumns(int columns, int inW, int outW, double reach) {
  const double span = columns / static_cast<double>(Scale(inW, outW)) + 2 * SourceReach(inW, outW, reach);
  return static_cast<int>(std::min<double>(inW, std::ceil(span) + 6));
}

struct Bands {
  bool refused = false;     // far more memory than the pictures: not made
  int columns = 0;          // target columns a band; all of them for one call
  std::uint64_t bytes = 0;  // the most one band's call takes
};

// Refused when the resize in one call would need far more than the
// pictures (four times both, and 64 MiB; 2 GiB at most), as it always was;
// else in one call when that takes at most kBandBytes, or in the widest
// bands within it (one column at least).
Bands PlanBands(int inW, int inH, int outW, int outH, int channels, ResizeKernel kernel) {
  const double reach = Reach(kernel);
  const auto picture = [channels](int w, int h) {
    return (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(channels) + 3) / 4 * 4 *
           static_cast<std::uint64_t>(h);
  };
  const std::uint64_t allowed =
      std::min<std::uint64_t>(4 * (picture(inW, inH) + picture(outW, outH)) + (std::uint64_t{64} << 20),
                              std::uint64_t{1} << 31);
  const std::uint64_t whole = CallBytes(inW, outW, inW, inH, outW, outH, channels, reach);
  if (whole > allowed) return {true, 0, 0};
  if (whole <= kBandBytes) return {false, outW, whole};
  const auto band = [&](int columns) {
    return CallBytes(BandSourceColumns(columns, inW, outW, reach), columns, inW, inH, outW, outH, channels, reach);
  };
  int low = 1, high = outW;
  while (low < high) {
    const int mid = low + (high - low + 1) / 2;
    if (band(mid) <= kBandBytes) low = mid;
    else high = mid - 1;
  }
  return {false, low, band(low)};
}

}  // namespace

std::uint64_t ResizeWorkingBytes(int width, int height, int outWidth, int outHeight, int channels,
                                 ResizeKernel kernel) {
  if (width < 1 || height < 1 || outWidth < 1 || outHeight < 1) return 0;
  const Bands bands = PlanBands(width, height, outWidth, outHeight, channels, kernel);
  if (bands.refused) return 0;
  const std::uint64_t separable = SeparableResizeBytes(width, height, outWidth, outHeight, channels, Reach(kernel));
  return separable <= kBandBytes ? separable : bands.bytes;
}

void ResizeLinearLight(Bitmap& source, Bitmap& dest, int width, int height, ResizeKernel kernel) {
  if (width < 1 || height < 1 || source.empty())
    throw ImageError(ErrorCode::InvalidArgument, "a resize needs a picture and a size of at least 1 x 1");
  CheckPictureSize(width, height);
  source.ConvertToWorkFormat();
  const bool alpha = HasAlpha(source.format());
  const int channels = alpha ? 4 : source.format() == PixelFormat::Bits8 ? 1 : 3;
  const int inW = source.width(), inH = source.height();
  const Bands bands = PlanBands(inW, inH, width, height, channels, kernel);
  if (bands.refused) throw ImageError(ErrorCode::TooLarge, "the smooth resize would need too much memory for this size");
  // The separable way is several times faster; it is taken wherever its
  // ring of source rows fits a band's memory (all but the squeezes that
  // stb makes in bands).
  if (SeparableResizeBytes(inW, inH, width, height, channels, Reach(kernel)) <= kBandBytes) {
    SeparableResize(source, dest, width, height, kernel == ResizeKernel::Lanczos3 ? LanczosAt : MitchellAt,
                    Reach(kernel));
    return;
  }
  Bitmap result = Bitmap::Unfilled(width, height, source.format());
  result.palette() = source.palette();  // a grey picture's grey ramp

  const stbir_filter filter = FilterOf(kernel);
  const int alpha_channel = alpha ? 3 : STBIR_ALPHA_CHANNEL_NONE;
  const int in_stride = static_cast<int>(source.stride()), out_stride = static_cast<int>(result.stride());
  const float scale_x = Scale(inW, width), scale_y = Scale(inH, height);
  const double reach = SourceReach(inW, width, Reach(kernel));
  // Target columns don't mix, so a band of them is made from the source
  // columns its kernel reaches, at the whole resize's scale and offset:
  // stb's own weights, its edges those of the whole picture.
  for (int x0 = 0; x0 < width; x0 += bands.columns) {
    const int x1 = std::min(width, x0 + bands.columns);
    Allowance allowance;
    allowance.bytes = bands.bytes;
    int done = 0;
    if (bands.columns == width) {
      done = stbir_resize(source.ScanLine(0), inW, inH, in_stride, result.ScanLine(0), width, height, out_stride,
                          STBIR_TYPE_UINT8, channels, alpha_channel, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, filter,
                          filter, STBIR_COLORSPACE_SRGB, &allowance);
    } else {
      const int first = std::max(0, static_cast<int>(std::floor((x0 + 0.5) / scale_x - reach)) - 2);
      const int end = std::min(inW, static_cast<int>(std::ceil((x1 - 0.5) / scale_x + reach)) + 3);
      done = stbir_resize_subpixel(source.ScanLine(0) + static_cast<std::ptrdiff_t>(first) * channels, end - first,
                                   inH, in_stride, result.ScanLine(0) + static_cast<std::ptrdiff_t>(x0) * channels,
                                   x1 - x0, height, out_stride, STBIR_TYPE_UINT8, channels, alpha_channel, 0,
                                   STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, filter, filter, STBIR_COLORSPACE_SRGB,
                                   &allowance, scale_x, scale_y, static_cast<float>(x0 - first * static_cast<double>(scale_x)),
                                   0.0f);
    }
    if (allowance.refused)
      throw ImageError(ErrorCode::TooLarge, "the smooth resize would need too much memory for this size");
    if (allowance.failed) throw ImageError(ErrorCode::OutOfMemory, "not enough memory for the smooth resize");
    if (!done) throw ImageError(ErrorCode::Internal, "the smooth resize failed");
  }
  dest = std::move(result);
}

}  // namespace img
