#include "engine/colour/SrgbTransform.h"

#include <utility>

#include <lcms2.h>

namespace engine {

namespace {

struct Layout {
  cmsColorSpaceSignature space;
  cmsUInt32Number in, out, flags;
};

Layout LayoutOf(ProfiledPixels layout) {
  switch (layout) {
    case ProfiledPixels::Cmyk:
      return {cmsSigCmykData, TYPE_CMYK_8, TYPE_BGR_8, 0};
    case ProfiledPixels::InvertedCmyk:
      return {cmsSigCmykData, TYPE_CMYK_8_REV, TYPE_BGR_8, 0};
    case ProfiledPixels::Bgr:
      return {cmsSigRgbData, TYPE_BGR_8, TYPE_BGR_8, 0};
    case ProfiledPixels::Bgrx:
      break;
  }
  return {cmsSigRgbData, TYPE_BGRA_8, TYPE_BGRA_8, cmsFLAGS_COPY_ALPHA};
}

}  // namespace

SrgbTransform::SrgbTransform(std::span<const std::uint8_t> icc, ProfiledPixels layout) {
  if (icc.size() < 128) return;
  const Layout l = LayoutOf(layout);
  cmsHPROFILE source = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  if (!source) return;
  if (cmsGetColorSpace(source) == l.space) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    if (srgb) {
      transform_ = cmsCreateTransform(source, l.in, srgb, l.out, INTENT_RELATIVE_COLORIMETRIC, l.flags);
      cmsCloseProfile(srgb);
    }
  }
  cmsCloseProfile(source);
}

SrgbTransform::SrgbTransform(SrgbTransform&& other) noexcept
    : transform_(std::exchange(other.transform_, nullptr)) {}

SrgbTransform& SrgbTransform::operator=(SrgbTransform&& other) noexcept {
  std::swap(transform_, other.transform_);
  return *this;
}

SrgbTransform::~SrgbTransform() {
  if (transform_) cmsDeleteTransform(transform_);
}

void SrgbTransform::Convert(const void* in, void* out, int count) const {
  if (count > 0) cmsDoTransform(transform_, in, out, static_cast<cmsUInt32Number>(count));
}

}  // namespace engine
