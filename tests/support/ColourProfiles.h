#pragma once
// ICC profiles made with littleCMS for the colour tests, so no system
// profile need be installed, a CMYK JPEG file that carries one, and
// littleCMS's own transform of samples to sRGB: the reference the
// converted pixels are held against.

#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace testsupport {

// The bytes of profile, which is closed.
inline std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size)) throw std::runtime_error("no profile");
  std::vector<std::uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// A print-like CMYK profile: a 9-point table from the inks to Lab in
// which each ink darkens and tints as a real one would, black the most;
// paper the yellowness of its white (b*).
inline std::vector<std::uint8_t> CmykProfile(double paper = 2) {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, cmsSigOutputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
  cmsStageSampleCLut16bit(
      table,
      [](const cmsUInt16Number in[], cmsUInt16Number out[], void* paper) -> cmsInt32Number {
        const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
        cmsCIELab lab;
        lab.L = 96 * (1 - 0.8 * k) * std::max(0.0, 1 - 0.35 * c - 0.45 * m - 0.1 * y);
        lab.a = (1 - k) * (70 * m - 40 * c - 5 * y);
        lab.b = (1 - k) * (80 * y - 50 * c - 20 * m) + *static_cast<double*>(paper);
        cmsFloat2LabEncoded(out, &lab);
        return 1;
      },
      &paper, 0);
  // A curves, table, B curves: the shape a v4 AToB tag is stored in.
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
  cmsPipelineInsertStage(lut, cmsAT_END, table);
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsWriteTag(profile, cmsSigAToB0Tag, lut);
  cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsPipelineFree(lut);
  return SavedProfile(profile);
}

// A matrix profile of Adobe RGB (1998)'s primaries and white, gamma 2.2.
inline std::vector<std::uint8_t> WideRgbProfile() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  return SavedProfile(profile);
}

// Display P3: DCI-P3's primaries, D65 white and sRGB's curve, as phones use.
inline std::vector<std::uint8_t> DisplayP3Profile() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return SavedProfile(profile);
}

inline std::vector<std::uint8_t> SrgbProfile() { return SavedProfile(cmsCreate_sRGBProfile()); }

// littleCMS's transform of count pixels of format (TYPE_CMYK_8,
// TYPE_CMYK_8_REV, TYPE_BGR_8) described by icc into sRGB b, g, r, by
// the relative colorimetric intent.
inline std::vector<std::uint8_t> LcmsToSrgb(const std::vector<std::uint8_t>& icc, cmsUInt32Number format,
                                            const std::uint8_t* pixels, std::size_t count) {
  cmsHPROFILE source = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform =
      cmsCreateTransform(source, format, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsCloseProfile(source);
  cmsCloseProfile(srgb);
  if (!transform) throw std::runtime_error("littleCMS made no transform");
  std::vector<std::uint8_t> bgr(count * 3);
  cmsDoTransform(transform, pixels, bgr.data(), static_cast<cmsUInt32Number>(count));
  cmsDeleteTransform(transform);
  return bgr;
}

// An Adobe CMYK JPEG file (inverted inks, Adobe marker) of width x height
// pixels of inks (c, m, y, k, 0 no ink), with icc as its profile when given.
inline std::vector<std::uint8_t> CmykJpeg(int width, int height, const std::vector<std::uint8_t>& inks,
                                          const std::vector<std::uint8_t>& icc) {
  jpeg_compress_struct out{};
  jpeg_error_mgr error{};
  out.err = jpeg_std_error(&error);
  jpeg_create_compress(&out);
  unsigned char* data = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&out, &data, &size);
  out.image_width = static_cast<JDIMENSION>(width);
  out.image_height = static_cast<JDIMENSION>(height);
  out.input_components = 4;
  out.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&out);
  jpeg_set_quality(&out, 95, TRUE);
  out.write_Adobe_marker = TRUE;
  jpeg_start_compress(&out, TRUE);
  if (!icc.empty()) jpeg_write_icc_profile(&out, icc.data(), static_cast<unsigned>(icc.size()));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
  while (out.next_scanline < out.image_height) {
    const std::uint8_t* in = inks.data() + out.next_scanline * row.size();
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(255 - in[i]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&out, rows, 1);
  }
  jpeg_finish_compress(&out);
  jpeg_destroy_compress(&out);
  std::vector<std::uint8_t> file(data, data + size);
  std::free(data);
  return file;
}

// libjpeg's own decode of a CMYK JPEG file: its samples as stored (Adobe's
// inverted inks), four bytes a pixel.
inline std::vector<std::uint8_t> DecodedCmyk(const std::vector<std::uint8_t>& file) {
  jpeg_decompress_struct in{};
  jpeg_error_mgr error{};
  in.err = jpeg_std_error(&error);
  jpeg_create_decompress(&in);
  jpeg_mem_src(&in, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&in, TRUE);
  in.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&in);
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(in.output_width) * in.output_height * 4);
  while (in.output_scanline < in.output_height) {
    JSAMPROW row = samples.data() + static_cast<std::size_t>(in.output_scanline) * in.output_width * 4;
    jpeg_read_scanlines(&in, &row, 1);
  }
  jpeg_finish_decompress(&in);
  jpeg_destroy_decompress(&in);
  return samples;
}

}  // namespace testsupport
