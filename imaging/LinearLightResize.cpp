#include "imaging/LinearLightResize.h"

#include <cmath>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "imaging/ImageError.h"

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

// At least the working memory stb takes (its own sum is 32-bit and would
// wrap for the sizes this guards against): per side the lines the kernel
// reaches, ceil(2 * reach / scale), as margins and as the ring of target
// rows the source rows are added into, and the tables of weights.
std::uint64_t WorkingBytes(int inW, int inH, int outW, int outH, int channels, double reach) {
  const auto lines = [reach](int in, int out) {
    return static_cast<std::uint64_t>(std::ceil(2 * reach * std::max(1.0, static_cast<double>(in) / out))) + 2;
  };
  const std::uint64_t across = lines(inW, outW), down = lines(inH, outH);
  const std::uint64_t weights = static_cast<std::uint64_t>(std::ceil(2 * reach)) + 1;
  const std::uint64_t columns = static_cast<std::uint64_t>(std::max(inW, outW)) + across;
  const std::uint64_t rows = static_cast<std::uint64_t>(std::max(inH, outH)) + down;
  const std::uint64_t c = static_cast<std::uint64_t>(channels), w = static_cast<std::uint64_t>(outW);
  return (columns + rows) * (8 + 4 * weights) + columns * c * 4 + w * c * 4 * (down + 2);
}

}  // namespace

void ResizeLinearLight(Bitmap& source, Bitmap& dest, int width, int height, ResizeKernel kernel) {
  if (width < 1 || height < 1 || source.empty())
    throw ImageError(ErrorCode::InvalidArgument, "a resize needs a picture and a size of at least 1 x 1");
  CheckPictureSize(width, height);
  source.ConvertToWorkFormat();
  const bool alpha = HasAlpha(source.format());
  Bitmap result = Bitmap::Unfilled(width, height, source.format());
  result.palette() = source.palette();  // a grey picture's grey ramp

  const int channels = alpha ? 4 : source.format() == PixelFormat::Bits8 ? 1 : 3;
  Allowance allowance;
  allowance.bytes = std::min<std::uint64_t>(
      4 * (source.PixelBytes() + result.PixelBytes()) + (std::uint64_t{64} << 20), std::uint64_t{1} << 31);
  allowance.refused = WorkingBytes(source.width(), source.height(), width, height, channels,
                                   kernel == ResizeKernel::Lanczos3 ? 3 : 2) > allowance.bytes;
  const stbir_filter filter = FilterOf(kernel);
  const int done =
      !allowance.refused &&
      stbir_resize(source.ScanLine(0), source.width(), source.height(), static_cast<int>(source.stride()),
                   result.ScanLine(0), width, height, static_cast<int>(result.stride()), STBIR_TYPE_UINT8, channels,
                   alpha ? 3 : STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, filter, filter,
                   STBIR_COLORSPACE_SRGB, &allowance);
  if (allowance.refused)
    throw ImageError(ErrorCode::TooLarge, "the smooth resize would need too much memory for this size");
  if (allowance.failed) throw ImageError(ErrorCode::OutOfMemory, "not enough memory for the smooth resize");
  if (!done) throw ImageError(ErrorCode::Internal, "the smooth resize failed");
  dest = std::move(result);
}

}  // namespace img
