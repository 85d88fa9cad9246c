// JPEG XL's entry of the format table: read and written through libjxl,
// and a JPEG source whose pixels stay as decoded recompressed without loss.

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "engine/formats/PictureFormats.h"
#include "engine/formats/jpeg/JpegMarkers.h"
#include "engine/formats/jxl/JxlImage.h"
#include "platform/FileIO.h"

namespace engine {

namespace {

HeaderFacts FactsOf(const JxlHeader& header) {
  HeaderFacts facts;
  facts.width = header.width;
  facts.height = header.height;
  if (header.alpha) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  } else if (header.grey) {
    facts.decoded = facts.worked = 1;
  }
  // libjxl renders a group of the picture at a time: a 14.7 MP photo
  // decoded with 50 MB beside its picture and its file when lossy, 20 MB
  // lossless; two bytes a pixel for each channel cover both.
  const int channels = (header.grey ? 1 : 3) + header.extraChannels;
  facts.decoder = static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) *
                  static_cast<std::uint64_t>(channels) * 2u;
  return facts;
}

// The header usually stands at the start; boxes before the codestream (a
// large EXIF) may push it past the head.
HeaderFacts JxlFacts(PictureHead head, const std::filesystem::path& file) {
  if (!IsJxl(head)) return {};
  std::optional<JxlHeader> header = ReadJxlHeader(head);
  if (!header) {
    try {
      header = ReadJxlHeader(img::ReadWholeFile(file));
    } catch (const std::exception&) {
      return {};  // its decode fails too
    }
  }
  return header ? FactsOf(*header) : HeaderFacts{};
}

PictureSize LoadJxl(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  DecodeJxl(img::ReadWholeFile(path), picture, codecs.MetadataPlace());
  return {picture.width(), picture.height()};
}

// The JPEG file the picture was decoded from, recompressed without loss
// with the metadata carried; nothing when the picture is no longer that
// file's, was asked for at a quality of its own, or libjxl does not take
// the file.
std::optional<std::vector<std::uint8_t>> RecompressedSource(PictureCodecs& codecs, const img::Bitmap& picture,
                                                            img::ParallelParts& parts) {
  const EncodingOptions& settings = codecs.EncoderSettings();
  const PictureCodecs::DecodedFile* source = codecs.UnchangedSource();
  if (!source || !SameKind(*source->loader, FormatNamed("jpg"))) return std::nullopt;
  if (settings.jxlQuality != 0 && settings.jxlQuality != 100 && !settings.jxlLossless) return std::nullopt;
  const PictureMetadata none;
  const std::optional<JpegStream> jpeg = WithCarriedMarkers(
      img::ReadWholeFile(source->path), codecs.CarriedMetadata() ? *codecs.CarriedMetadata() : none);
  // A file changed since it was decoded is not the picture's.
  if (!jpeg || jpeg->width != picture.width() || jpeg->height != picture.height()) return std::nullopt;
  return RecompressJpeg(jpeg->bytes, settings.jxlEffort, parts);
}

void WriteJxl(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
              img::ProgressSink& sink, img::ParallelParts& parts) {
  sink.StepProgress();
  std::optional<std::vector<std::uint8_t>> file = RecompressedSource(codecs, picture, parts);
  if (!file) {
    const EncodingOptions& settings = codecs.EncoderSettings();
    const JxlSettings jxl{settings.jxlQuality == 0 ? kDefaultJxlQuality : settings.jxlQuality, settings.jxlLossless,
                          settings.jxlEffort};
    std::vector<std::string> left_out;
    file = EncodeJxl(picture, jxl, codecs.CarriedMetadata(), parts, &left_out);
    for (std::string& line : left_out) codecs.Warn(std::move(line));
  }
  img::WriteFileAtomically(path, *file);
}

// libjxl 0.7 holds the whole picture in floats several times over while it
// encodes: a 14.7 MP photo written from its pixels at effort 7 peaked 2.09
// GB above the same conversion to BMP, lossy or lossless (a JPEG
// recompressed without loss: 340 MB, which this need covers).
constexpr WriterNeed kJxlNeed{.workPicture = true, .encodedHalf = true, .copyBytesPerPixel = 142};

constexpr PictureFormat kJxl[] = {
    {"jxl", ".jxl", IsJxl, LoadJxl, WriteJxl, JxlFacts, nullptr, kJxlNeed, AlphaKept::Any, true},
};

}  // namespace

std::span<const PictureFormat> JxlFormats() { return kJxl; }

}  // namespace engine
