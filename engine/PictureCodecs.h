#pragma once
// The codec objects behind the picture formats: a loader and a writer for
// each kind of file. One set per converter, created once and reused for
// every picture; the format table (PictureFormats.h) names the loader and
// the writer of each format.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/JpegImage.h"
#include "engine/PictureMetadata.h"
#include "engine/PngImage.h"
#include "engine/WebpImage.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace engine {

struct PictureSize {
  int width = 0;
  int height = 0;
};

class PictureCodecs {
 public:
  PictureCodecs() = default;
  PictureCodecs(const PictureCodecs&) = delete;
  PictureCodecs& operator=(const PictureCodecs&) = delete;

  // Loaders: decode the file into picture and give the file's own picture
  // size. With a fit (a preview box) a loader that can decode at a fraction
  // of the size does so, never below fit (JPEG's 1/2, 1/4 and 1/8). A file
  // that cannot be decoded throws img::ImageError and leaves picture as it was.
  PictureSize LoadBmp(const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit);
  PictureSize LoadJpeg(const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit);
  PictureSize LoadPng(const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit);
  PictureSize LoadWebp(const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit);

  // The encoder settings the writers use from now on: the JPEG, WebP and
  // AVIF qualities, the JPEG coding, WebP's lossless switch and effort, and
  // PNG's level and row filters of options.
  void UseEncoderSettings(const ConversionOptions& options);

  // Writers, with the fixed settings of each format and the encoder
  // settings; an existing file is replaced once the new one is complete. The
  // JPEG, PNG and WebP writers first step the progress once. The JPEG writer
  // keeps its bytes, so a second JPEG target of the same picture at the same
  // settings costs no second encoding: call ForgetEncoded whenever the
  // picture changes.
  void WriteBmp(const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
               img::ParallelParts& parts);
  void WriteJpeg(const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
                img::ParallelParts& parts);
  void WritePng(const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
               img::ParallelParts& parts);
  void WriteWebp(const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
                 img::ParallelParts& parts);
  void ForgetEncoded() { jpeg_bytes_.clear(); }
  // The settings in force, for the writers of the format table's own codecs.
  const EncodingOptions& EncoderSettings() const { return encoding_; }

  // Metadata, off unless asked for. With a place to read into, the JPEG,
  // PNG and WebP loaders put a decoded file's metadata there; with metadata
  // to carry, the JPEG, PNG and WebP writers write what their files have a
  // place for (BMP files hold none). Both must outlive their use;
  // ForgetEncoded when the carried metadata change.
  void ReadMetadataInto(PictureMetadata* metadata) { read_into_ = metadata; }
  void CarryMetadata(const PictureMetadata* metadata) { carried_ = metadata; }
  // The same for the loaders and writers of the format table's own codecs.
  PictureMetadata* MetadataPlace() const { return read_into_; }
  const PictureMetadata* CarriedMetadata() const { return carried_; }
  // What the writers left out of the files written since the last call, one
  // line each (carried metadata too large for a JPEG file's markers).
  std::vector<std::string> TakeWarnings();

  // The bytes the codec objects keep between pictures for reuse, and
  // giving them back (the encoded JPEG is forgotten too).
  std::size_t KeptBytes() const;
  void HandBack();

 private:
  JpegImage jpeg_;
  PngImage png_;
  WebpImage webp_;
  std::vector<std::uint8_t> jpeg_bytes_;
  int jpeg_bytes_quality_ = 0;  // the quality and coding jpeg_bytes_ were encoded at
  JpegCoding jpeg_bytes_coding_;
  EncodingOptions encoding_;
  JpegCoding jpeg_coding_;
  PictureMetadata* read_into_ = nullptr;
  const PictureMetadata* carried_ = nullptr;
  std::vector<std::string> warnings_;
};

}  // namespace engine
