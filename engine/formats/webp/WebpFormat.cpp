// WebP's entry of the format table: libwebp's codec kept in the codec set,
// the metadata chunks of its container read and written beside it.

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "engine/formats/PictureFormats.h"
#include "engine/formats/QualitySearch.h"
#include "engine/formats/webp/WebpImage.h"
#include "engine/formats/webp/WebpMetadata.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/FileIO.h"

namespace engine {

namespace {

bool IsWebp(PictureHead head) {
  return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(&head[8], "WEBP", 4) == 0;
}

// An extended WebP's header flags its EXIF chunk, which comes after its
// image data, past any head.
bool HasVp8x(PictureHead head) { return head.size() >= 16 && std::memcmp(&head[12], "VP8X", 4) == 0; }

HeaderFacts WebpFacts(PictureHead head, const std::filesystem::path& file) {
  HeaderFacts facts;
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(head.data(), head.size(), &features) != VP8_STATUS_OK) return facts;
  facts.width = features.width;
  facts.height = features.height;
  if (features.has_alpha) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  }
  // The animation decoder's canvas and its copy of the one disposed of;
  // its frames are counted through the file, which their chunks fill.
  if (features.has_animation) {
    facts.decoder = static_cast<std::uint64_t>(facts.width) * facts.height * 8;
    try {
      const std::vector<std::uint8_t> whole = img::ReadWholeFile(file);
      const WebPData data{whole.data(), whole.size()};
      if (WebPDemuxer* demux = WebPDemux(&data)) {
        facts.frames = static_cast<int>(std::min<std::uint32_t>(WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT), 1u << 30));
        WebPDemuxDelete(demux);
      }
    } catch (const std::exception&) {
    }
  }
  // At the head's depth the EXIF flag is taken to turn the picture.
  facts.oriented = head.size() >= 21 && HasVp8x(head) && (head[20] & 0x08) != 0;
  return facts;
}

// Through the file: the whole file is read, as the loader reads it.
int WebpOrientation(PictureHead head, const std::filesystem::path& file) {
  if (!HasVp8x(head)) return 0;
  PictureMetadata metadata;
  try {
    ReadWebpMetadata(img::ReadWholeFile(file), metadata);
  } catch (const std::exception&) {
    return 0;  // its decode fails too
  }
  return metadata.exif.empty() ? 0 : ReadExifOrientation(metadata.exif);
}

struct WebpKept : PictureCodecs::Kept {
  WebpImage codec;
  std::size_t Bytes() const override { return codec.KeptBytes(); }
  void HandBack() override { codec.HandBack(); }
};

PictureSize LoadWebp(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  const std::vector<std::uint8_t> file = img::ReadWholeFile(path);
  codecs.NotePictures(
      codecs.KeptOf<WebpKept>().codec.LoadFromMemory(file, picture, codecs.Page(), codecs.AnimationPlace()), "frame");
  if (codecs.MetadataPlace()) ReadWebpMetadata(file, *codecs.MetadataPlace());
  return {picture.width(), picture.height()};
}

void WriteWebp(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
               img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  const EncodingOptions& settings = codecs.EncoderSettings();
  const Animation* animation = codecs.CarriedAnimation();
  const auto encode = [&](int quality) {
    WebpImage& codec = codecs.KeptOf<WebpKept>().codec;
    std::vector<std::uint8_t> file =
        animation && animation->frames.size() > 1
            ? codec.EncodeAnimation(*animation, quality, settings.webpLossless, settings.webpEffort)
            : codec.Encode(picture, quality, settings.webpLossless, settings.webpEffort);
    if (codecs.CarriedMetadata()) file = WithWebpMetadata(std::move(file), *codecs.CarriedMetadata());
    return file;
  };
  // Lossless files have no quality to lower: they fit as they are or fail.
  if (settings.maxBytes > 0 && !settings.webpLossless) {
    const FittedFile fitted = FitQuality(settings.webpQuality, settings.maxBytes, encode);
    img::WriteFileAtomically(path, fitted.bytes);
    codecs.NoteChosenQuality(fitted.quality);
    return;
  }
  const std::vector<std::uint8_t> file = encode(settings.webpQuality);
  CheckFits(file.size(), settings.maxBytes);
  img::WriteFileAtomically(path, file);
}

// The encoder keeps the file and a 32-bit copy of colour pixels.
constexpr WriterNeed kWebpNeed{.workPicture = true, .encodedHalf = true, .copyBytesPerPixel = 4, .colourOnly = true};

constexpr PictureFormat kWebp[] = {
    {"webp", ".webp", IsWebp, LoadWebp, WriteWebp, WebpFacts, WebpOrientation, kWebpNeed, AlphaKept::Any, true},
};

}  // namespace

std::span<const PictureFormat> WebpFormats() { return kWebp; }

}  // namespace engine
