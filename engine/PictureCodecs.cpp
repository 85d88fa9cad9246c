#include "engine/PictureCodecs.h"

#include "engine/WebpMetadata.h"
#include "imaging/FileIO.h"

namespace engine {

namespace {

// The largest DCT scale (1/8, 1/4, 1/2) that still decodes at least fit.
int ScaleDenominator(int width, int height, PictureSize fit) {
  if (fit.width < 1 || fit.height < 1) return 1;
  for (int denom : {8, 4, 2}) {
    const int w = (width + denom - 1) / denom, h = (height + denom - 1) / denom;
    if (w >= fit.width && h >= fit.height) return denom;
  }
  return 1;
}

}  // namespace

PictureSize PictureCodecs::LoadBmp(const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  picture.LoadFromFile(path);
  return {picture.width(), picture.height()};
}

PictureSize PictureCodecs::LoadJpeg(const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit) {
  if (fit.width < 1 || fit.height < 1) {
    jpeg_.Load(path, picture, 1, read_into_);
    return {picture.width(), picture.height()};
  }
  const auto [width, height] = JpegImage::ReadSize(path);
  jpeg_.Load(path, picture, ScaleDenominator(width, height, fit), read_into_);
  return {width, height};
}

PictureSize PictureCodecs::LoadPng(const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  png_.Load(path, picture, read_into_);
  return {picture.width(), picture.height()};
}

PictureSize PictureCodecs::LoadWebp(const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  const std::vector<std::uint8_t> file = img::ReadWholeFile(path);
  webp_.LoadFromMemory(file, picture);
  if (read_into_) ReadWebpMetadata(file, *read_into_);
  return {picture.width(), picture.height()};
}

void PictureCodecs::UseEncoderSettings(const ConversionOptions& options) {
  encoding_ = options;
  jpeg_coding_ = {options.jpegProgressive, options.jpegOptimize, options.jpegSampling};
  png_.SetCompression(options.pngLevel, options.pngFiltering);
}

std::size_t PictureCodecs::KeptBytes() const {
  return jpeg_.KeptBytes() + png_.KeptBytes() + webp_.KeptBytes() + jpeg_bytes_.capacity();
}

void PictureCodecs::HandBack() {
  jpeg_.HandBack();
  png_.HandBack();
  webp_.HandBack();
  std::vector<std::uint8_t>().swap(jpeg_bytes_);
}

void PictureCodecs::WriteBmp(const img::Bitmap& picture, const img::TargetFile& path,
                             img::ProgressSink&, img::ParallelParts&) {
  picture.SaveToFile(path);
}

void PictureCodecs::WriteJpeg(const img::Bitmap& picture, const img::TargetFile& path,
                              img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  if (jpeg_bytes_.empty() || jpeg_bytes_quality_ != encoding_.jpegQuality || jpeg_bytes_coding_ != jpeg_coding_) {
    jpeg_.SetQuality(encoding_.jpegQuality);
    jpeg_.SetCoding(jpeg_coding_);
    jpeg_bytes_ = jpeg_.Encode(picture, carried_);
    jpeg_bytes_quality_ = encoding_.jpegQuality;
    jpeg_bytes_coding_ = jpeg_coding_;
  }
  img::WriteFileAtomically(path, jpeg_bytes_);
  if (carried_)
    for (std::string& line : JpegImage::LeftOut(*carried_)) warnings_.push_back(std::move(line));
}

void PictureCodecs::WritePng(const img::Bitmap& picture, const img::TargetFile& path,
                             img::ProgressSink& sink, img::ParallelParts& parts) {
  sink.StepProgress();
  png_.Save(picture, path, parts, carried_);
}

void PictureCodecs::WriteWebp(const img::Bitmap& picture, const img::TargetFile& path,
                              img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  std::vector<std::uint8_t> file = webp_.Encode(picture, encoding_.webpQuality, encoding_.webpLossless, encoding_.webpEffort);
  if (carried_) file = WithWebpMetadata(std::move(file), *carried_);
  img::WriteFileAtomically(path, file);
}

std::vector<std::string> PictureCodecs::TakeWarnings() {
  std::vector<std::string> taken;
  taken.swap(warnings_);
  return taken;
}

}  // namespace engine
