#pragma once
// A slow, direct kernel resize in linear light to hold the fast one
// against: each target pixel on its own, from the sRGB formulas and the
// kernels' textbook definitions, in double.

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/LinearLightResize.h"

namespace testsupport {

inline double SrgbToLinear(int v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Mitchell-Netravali with B = C = 1/3 (reach 2), Lanczos over three lobes.
inline double KernelAt(img::ResizeKernel kernel, double x) {
  const double pi = std::acos(-1.0);
  x = std::fabs(x);
  if (kernel == img::ResizeKernel::Mitchell)
    return x < 1 ? (21 * x * x * x - 36 * x * x + 16) / 18 : x < 2 ? (-7 * x * x * x + 36 * x * x - 60 * x + 32) / 18 : 0;
  return x == 0 ? 1 : x < 3 ? 3 * std::sin(pi * x) * std::sin(pi * x / 3) / (pi * pi * x * x) : 0;
}

// Source lines (clamped at the edges) and weights summing to 1 for target
// line o of a side shrunk from in to out; the kernel spans target pixels.
inline std::vector<std::pair<int, double>> LineWeights(img::ResizeKernel kernel, int in, int out, int o) {
  const double scale = static_cast<double>(out) / in, centre = o + 0.5;
  std::vector<std::pair<int, double>> weights;
  double total = 0;
  for (int i = static_cast<int>((centre - 3) / scale) - 2; i <= (centre + 3) / scale + 1; ++i)
    if (const double w = KernelAt(kernel, centre - (i + 0.5) * scale); w != 0) {
      weights.emplace_back(std::clamp(i, 0, in - 1), w);
      total += w;
    }
  for (auto& weight : weights) weight.second /= total;
  return weights;
}

// A 24-bit picture shrunk to width x height.
inline img::Bitmap ReferenceResize(const img::Bitmap& source, int width, int height, img::ResizeKernel kernel) {
  img::Bitmap result(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) {
      double light = 0;
      for (const auto& [row, wy] : LineWeights(kernel, source.height(), height, y))
        for (const auto& [column, wx] : LineWeights(kernel, source.width(), width, x / 3))
          light += wy * wx * SrgbToLinear(source.ScanLine(row)[3 * column + x % 3]);
      const double l = std::clamp(light, 0.0, 1.0);
      result.ScanLine(y)[x] = static_cast<std::uint8_t>(
          std::lround(255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055)));
    }
  return result;
}

}  // namespace testsupport
