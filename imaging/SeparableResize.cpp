#include "imaging/SeparableResize.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

#include "platform/ImageError.h"

namespace img {

namespace {

// Taps are counted in fours so that the inner loops run whole groups; the
// extra ones weigh nothing.
constexpr int kTapGroup = 4;

// One side's weights: target pixel o mixes source pixels first[o] to
// first[o] + count - 1 by weights[o * count + k], which sum to one.
struct AxisWeights {
  std::vector<int> first;
  std::vector<float> weights;
  int count = 0;
};

double Scale(int in, int out) { return static_cast<double>(out) / in; }

// Source pixels one target pixel can reach, before rounding to groups.
int Span(int in, int out, double reach) {
  const double filterScale = std::min(1.0, Scale(in, out));
  return static_cast<int>(std::ceil(2 * reach / filterScale)) + 3;
}

int GroupedSpan(int in, int out, double reach) {
  const int span = std::min(Span(in, out, reach), in);
  return (span + kTapGroup - 1) / kTapGroup * kTapGroup;
}

// The kernel in target pixels when shrinking and in source pixels when
// enlarging; pixels beyond an edge are the edge pixel again.
AxisWeights Weigh(int in, int out, double (*kernel)(double), double reach) {
  const double scale = Scale(in, out), filterScale = std::min(1.0, scale);
  AxisWeights axis;
  axis.count = GroupedSpan(in, out, reach);
  axis.first.resize(static_cast<std::size_t>(out));
  axis.weights.assign(static_cast<std::size_t>(out) * axis.count, 0.0f);
  std::vector<double> folded(static_cast<std::size_t>(in));
  for (int o = 0; o < out; ++o) {
    const double centre = (o + 0.5) / scale - 0.5, radius = reach / filterScale;
    const int from = static_cast<int>(std::floor(centre - radius)), to = static_cast<int>(std::ceil(centre + radius));
    const int a = std::clamp(from, 0, in - 1), b = std::clamp(to, 0, in - 1);
    std::fill(folded.begin() + a, folded.begin() + b + 1, 0.0);
    double total = 0;
    for (int i = from; i <= to; ++i) {
      const double w = kernel((i - centre) * filterScale);
      folded[static_cast<std::size_t>(std::clamp(i, 0, in - 1))] += w;
      total += w;
    }
    int lo = a, hi = b;
    while (lo < hi && folded[static_cast<std::size_t>(lo)] == 0) ++lo;
    while (hi > lo && folded[static_cast<std::size_t>(hi)] == 0) --hi;
    if (total == 0) {  // a kernel that weighs nothing here: the nearest pixel
      lo = hi = std::clamp(static_cast<int>(std::lround(centre)), 0, in - 1);
      folded[static_cast<std::size_t>(lo)] = total = 1;
    }
    const int first = std::min(lo, in - std::min(axis.count, in));
    axis.first[static_cast<std::size_t>(o)] = first;
    float* w = &axis.weights[static_cast<std::size_t>(o) * axis.count];
    for (int i = lo; i <= hi; ++i) w[i - first] = static_cast<float>(folded[static_cast<std::size_t>(i)] / total);
  }
  return axis;
}

// sRGB codes to light, and light (in 1/65535 steps) back to codes.
const float* LightOfCode() {
  static const std::vector<float> table = [] {
    std::vector<float> t(256);
    for (int v = 0; v < 256; ++v) {
      const double c = v / 255.0;
      t[static_cast<std::size_t>(v)] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table.data();
}

constexpr int kLightSteps = 65535;

const std::uint8_t* CodeOfLight() {
  static const std::vector<std::uint8_t> table = [] {
    std::vector<std::uint8_t> t(kLightSteps + 1);
    for (int i = 0; i <= kLightSteps; ++i) {
      const double l = static_cast<double>(i) / kLightSteps;
      const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(255 * c));
    }
    return t;
  }();
  return table.data();
}

inline int LightIndex(float light) {
  return static_cast<int>(std::clamp(light, 0.0f, 1.0f) * kLightSteps + 0.5f);
}

// Sum of weights[k] * values[k] over count taps, a multiple of four, in four
// running sums the compiler can keep in one vector.
inline float Dot(const float* weights, const float* values, int count) {
  float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  for (int k = 0; k < count; k += kTapGroup) {
    s0 += weights[k] * values[k];
    s1 += weights[k + 1] * values[k + 1];
    s2 += weights[k + 2] * values[k + 2];
    s3 += weights[k + 3] * values[k + 3];
  }
  return (s0 + s1) + (s2 + s3);
}

// The ring of source rows in light, one plane per channel, alpha last and
// colours weighted by it.
class LightRows {
 public:
  LightRows(const Bitmap& source, int channels, int rows, int pad)
      : source_(source), channels_(channels), rows_(rows),
        stride_(static_cast<std::size_t>(source.width()) + static_cast<std::size_t>(pad)),
        planes_(static_cast<std::size_t>(rows) * channels * stride_, 0.0f), row_of_(static_cast<std::size_t>(rows), -1) {}

  // Channel c of source row y, made when it is not in the ring.
  const float* Row(int y, int c) {
    const std::size_t slot = static_cast<std::size_t>(y % rows_);
    if (row_of_[slot] != y) Make(y, slot);
    return &planes_[(slot * channels_ + static_cast<std::size_t>(c)) * stride_];
  }

 private:
  void Make(int y, std::size_t slot) {
    const float* light = LightOfCode();
    const std::uint8_t* p = source_.ScanLine(y);
    float* plane = &planes_[slot * channels_ * stride_];
    const int width = source_.width();
    if (channels_ == 4) {
      for (int x = 0; x < width; ++x, p += 4) {
        const float a = p[3] * (1.0f / 255);
        for (int c = 0; c < 3; ++c) plane[c * stride_ + x] = light[p[c]] * a;
        plane[3 * stride_ + x] = a;
      }
    } else {
      for (int x = 0; x < width; ++x, p += channels_)
        for (int c = 0; c < channels_; ++c) plane[c * stride_ + x] = light[p[c]];
    }
    row_of_[slot] = y;
  }

  const Bitmap& source_;
  int channels_, rows_;
  std::size_t stride_;
  std::vector<float> planes_;
  std::vector<int> row_of_;
};

}  // namespace

std::uint64_t SeparableResizeBytes(int width, int height, int outWidth, int outHeight, int channels, double reach) {
  const auto u = [](auto v) { return static_cast<std::uint64_t>(v); };
  const std::uint64_t across = u(GroupedSpan(width, outWidth, reach)), down = u(GroupedSpan(height, outHeight, reach));
  const std::uint64_t plane = u(width) + across, c = u(channels);
  const std::uint64_t ring = down * c * plane * 4, column = c * plane * 4, line = c * u(outWidth) * 4;
  const std::uint64_t weights = (u(outWidth) * across + u(outHeight) * down) * 4 + (u(outWidth) + u(outHeight)) * 4;
  const std::uint64_t tables = 256 * 4 + kLightSteps + 1;
  return ring + column + line + weights + u(height) * 8 + tables;
}

void SeparableResize(const Bitmap& source, Bitmap& dest, int width, int height, double (*kernel)(double),
                     double reach) {
  const int channels = source.format() == PixelFormat::Bits32Alpha ? 4 : source.format() == PixelFormat::Bits8 ? 1 : 3;
  const int inW = source.width(), inH = source.height();
  try {
    const AxisWeights across = Weigh(inW, width, kernel, reach), down = Weigh(inH, height, kernel, reach);
    Bitmap result = Bitmap::Unfilled(width, height, source.format());
    result.palette() = source.palette();
    const std::uint8_t* code = CodeOfLight();
    LightRows rows(source, channels, down.count, across.count);
    const std::size_t plane = static_cast<std::size_t>(inW) + static_cast<std::size_t>(across.count);
    std::vector<float> column(static_cast<std::size_t>(channels) * plane, 0.0f);
    std::vector<float> line(static_cast<std::size_t>(channels) * static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
      const int first = down.first[static_cast<std::size_t>(y)];
      const float* w = &down.weights[static_cast<std::size_t>(y) * down.count];
      // Down the columns: whole rows at a time, four taps together.
      for (int c = 0; c < channels; ++c) {
        float* out = &column[static_cast<std::size_t>(c) * plane];
        std::fill_n(out, inW, 0.0f);
        for (int k = 0; k < down.count; k += kTapGroup) {
          const float* r[kTapGroup];
          for (int j = 0; j < kTapGroup; ++j) r[j] = rows.Row(std::min(first + k + j, inH - 1), c);
          const float w0 = w[k], w1 = w[k + 1], w2 = w[k + 2], w3 = w[k + 3];
          for (int x = 0; x < inW; ++x) out[x] += w0 * r[0][x] + w1 * r[1][x] + w2 * r[2][x] + w3 * r[3][x];
        }
        // Across: each target pixel from its taps.
        float* mixed = &line[static_cast<std::size_t>(c) * width];
        for (int x = 0; x < width; ++x)
          mixed[x] = Dot(&across.weights[static_cast<std::size_t>(x) * across.count],
                         out + across.first[static_cast<std::size_t>(x)], across.count);
      }
      std::uint8_t* q = result.ScanLine(y);
      if (channels == 4) {
        for (int x = 0; x < width; ++x, q += 4) {
          const float a = std::clamp(line[3 * static_cast<std::size_t>(width) + x], 0.0f, 1.0f);
          const float unweigh = a > 0 ? 1 / a : 0;
          for (int c = 0; c < 3; ++c) q[c] = code[LightIndex(line[static_cast<std::size_t>(c) * width + x] * unweigh)];
          q[3] = static_cast<std::uint8_t>(std::lround(a * 255));
        }
      } else {
        for (int x = 0; x < width; ++x, q += channels)
          for (int c = 0; c < channels; ++c) q[c] = code[LightIndex(line[static_cast<std::size_t>(c) * width + x])];
      }
    }
    dest = std::move(result);
  } catch (const std::bad_alloc&) {
    throw ImageError(ErrorCode::OutOfMemory, "not enough memory for the smooth resize");
  }
}

}  // namespace img
