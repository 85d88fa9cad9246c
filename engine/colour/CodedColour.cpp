#include "engine/colour/CodedColour.h"

#include <lcms2.h>

namespace engine {

namespace {

// The curve from coded values to linear light: sRGB's as littleCMS's
// parametric curve 4 (Y = (aX + b)^g above d, cX below), or a plain gamma.
cmsToneCurve* TransferCurve(int transfer) {
  switch (transfer) {
    // BT.709's camera curve and its kin (BT.601, BT.2020) are shown on
    // screens as sRGB's, as viewers and browsers do: a picture so tagged
    // changes only by its primaries.
    case 1: case 6: case 14: case 15:
    case 13: {  // IEC 61966-2-1, sRGB
      const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 4: return cmsBuildGamma(nullptr, 2.2);
    case 5: return cmsBuildGamma(nullptr, 2.8);
    case 8: return cmsBuildGamma(nullptr, 1.0);
    default: return nullptr;
  }
}

bool InDiagram(double x, double y) { return x > 0 && y > 0 && x + y <= 1; }

}  // namespace

std::vector<std::uint8_t> CodedColourProfile(const CodedColour& c) {
  if (!InDiagram(c.redX, c.redY) || !InDiagram(c.greenX, c.greenY) || !InDiagram(c.blueX, c.blueY) ||
      !InDiagram(c.whiteX, c.whiteY))
    return {};
  cmsToneCurve* curve = TransferCurve(c.transfer);
  if (!curve) return {};
  const cmsCIExyY white{c.whiteX, c.whiteY, 1.0};
  const cmsCIExyYTRIPLE primaries{{c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  std::vector<std::uint8_t> bytes;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  if (profile) cmsCloseProfile(profile);
  return bytes;
}

}  // namespace engine
