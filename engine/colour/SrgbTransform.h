#pragma once
// Pixels described by an ICC profile, turned into sRGB's pixels by
// littleCMS. The intent is relative colorimetric: sRGB holds nearly every
// colour a print (CMYK) profile describes, so those keep their exact
// colour with the paper as white, where the perceptual intent would move
// them too; and the matrix profiles of RGB pictures (Adobe RGB, Display
// P3) have no perceptual tables of their own anyway, so colours outside
// sRGB are clipped to its edge either way.

#include <cstdint>
#include <span>

namespace engine {

// How the pixels a transform reads are laid out, one byte a sample.
enum class ProfiledPixels {
  Cmyk,          // c, m, y, k: 0 no ink (TIFF)
  InvertedCmyk,  // c, m, y, k: 255 no ink (Adobe's CMYK JPEG files, as libjpeg gives them)
  Bgr,           // b, g, r
  Bgrx,          // b, g, r and a fourth byte carried as it is (alpha, a palette's spare)
};

class SrgbTransform {
 public:
  SrgbTransform() = default;
  // A transform from pixels of layout, described by icc, to sRGB: b, g, r,
  // and for Bgrx the fourth byte copied. Empty (false) when littleCMS cannot
  // read the profile or it is not of the layout's colour space (CMYK for
  // the CMYK layouts, RGB for the others).
  SrgbTransform(std::span<const std::uint8_t> icc, ProfiledPixels layout);
  SrgbTransform(SrgbTransform&& other) noexcept;
  SrgbTransform& operator=(SrgbTransform&& other) noexcept;
  SrgbTransform(const SrgbTransform&) = delete;
  SrgbTransform& operator=(const SrgbTransform&) = delete;
  ~SrgbTransform();

  explicit operator bool() const { return transform_ != nullptr; }

  // Converts count pixels from in to out (3 bytes a pixel, 4 for Bgrx);
  // in and out may be the same when their pixels are of one size. One
  // thread at a time.
  void Convert(const void* in, void* out, int count) const;

 private:
  void* transform_ = nullptr;  // littleCMS's handle
};

}  // namespace engine
