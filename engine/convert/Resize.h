#pragma once
// What a conversion's resize step is asked for: one kind of resize with its
// numbers, whether it may make a picture larger, and how it computes its
// pixels. The callers parse their own words (the window's size boxes,
// imgbatch's options) into it; the rules that turn it into a size are
// ResizeRules.h.

#include <optional>
#include <variant>

namespace engine {

// How a resize computes its pixels: the exact box average and sharpening the
// window has always used, or a smooth kernel in linear light (imgbatch's
// --filter).
enum class ResizeFilter { Exact, Mitchell, Lanczos };

// The picture is left as it is.
struct NoResize {
  bool operator==(const NoResize&) const = default;
};

// The window's two size boxes as numbers; an empty box held no number.
// Both numbers: that size, proportions not kept. keepRatio: the width's
// number (else the height's) sets its side and the other follows the
// source's proportions. Otherwise, or with both boxes empty, the picture
// keeps its size. A number below 1 or above 65535 refuses the resize
// (imgbatch's --width, --height and --keep-ratio give these too).
struct SizeBoxes {
  std::optional<long long> width;
  std::optional<long long> height;
  bool keepRatio = false;
  bool operator==(const SizeBoxes&) const = default;
};

// A box to fit inside, proportions kept (--fit).
struct FitInBox {
  int width = 0;
  int height = 0;
  bool operator==(const FitInBox&) const = default;
};

// A box the picture fills, proportions kept, its centre then cut to the box
// (--cover).
struct CoverBox {
  int width = 0;
  int height = 0;
  bool operator==(const CoverBox&) const = default;
};

// A box the picture is fitted inside as by FitInBox, then laid in the
// middle of a canvas of exactly the box's size (--pad).
struct PadBox {
  int width = 0;
  int height = 0;
  bool operator==(const PadBox&) const = default;
};

// Both sides times this many hundredths of a percent (10000 keeps the
// size), each rounded to the nearest pixel, never below 1 (--scale).
struct ScaleBy {
  int hundredths = 10000;
  bool operator==(const ScaleBy&) const = default;
};

struct Resize {
  std::variant<NoResize, SizeBoxes, FitInBox, CoverBox, ScaleBy, PadBox> to;
  // The resize may make the picture larger (--enlarge); otherwise no side grows.
  bool enlarge = false;
  ResizeFilter filter = ResizeFilter::Exact;  // imgbatch only

  // False for NoResize: the step does nothing, not even a change of format.
  bool Asked() const { return !std::holds_alternative<NoResize>(to); }
  bool operator==(const Resize&) const = default;
};

}  // namespace engine
