// JPEG's entries of the format table, JPG and JPEG: one kind of file under
// two extensions, decoded with the codec kept in the codec set and encoded
// once for both when both are ticked.

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/formats/PictureFormats.h"
#include "engine/formats/QualitySearch.h"
#include "engine/formats/jpeg/JpegErrorManager.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/jpeg/JpegMarkers.h"
#include "engine/formats/jpeg/JpegTurn.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace engine {

namespace {

bool IsJpeg(PictureHead head) { return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF; }

// The codec, and the last file it encoded with the quality and coding it
// was encoded at: a second JPEG target of one picture costs no second encoding.
struct JpegKept : PictureCodecs::Kept {
  JpegImage codec;
  std::vector<std::uint8_t> encoded;
  int quality = 0;
  std::uint64_t maxBytes = 0;
  int chosenQuality = 0;  // the quality maxBytes chose; 0 without a limit
  std::optional<SizeLimitMissed> missed;  // the limit no quality met, for the second target
  JpegCoding coding;
  bool turnAsked = false;  // encoded was made with a lossless turn asked for
  std::string turnRefused;  // why it was encoded from the pixels all the same; empty: it was not

  std::size_t Bytes() const override { return codec.KeptBytes() + encoded.capacity(); }
  void HandBack() override {
    codec.HandBack();
    std::vector<std::uint8_t>().swap(encoded);
    missed.reset();
  }
  void ForgetEncoded() override {
    encoded.clear();
    missed.reset();
  }
};

// The source file turned in its coded data with the metadata carried,
// when the settings ask for it and the picture is that file's only turned;
// nothing, with why in refused where a turn was due, otherwise.
std::optional<std::vector<std::uint8_t>> LosslessTurn(const PictureCodecs& codecs, std::string& refused) {
  const PictureCodecs::DecodedFile* source = codecs.TurnedSource();
  if (!source || !SameKind(*source->loader, FormatNamed("jpg"))) return std::nullopt;
  const PictureMetadata none;
  const std::optional<JpegStream> stream = WithCarriedMarkers(
      img::ReadWholeFile(source->path), codecs.CarriedMetadata() ? *codecs.CarriedMetadata() : none);
  // A file changed since it was read is not the picture's.
  if (!stream || stream->width != source->size.width || stream->height != source->size.height) {
    refused = "not turned losslessly (its markers could not be kept): re-encoded";
    return std::nullopt;
  }
  // CMYK pixels are decoded to RGB, which a turn of the coded data would not do.
  if (stream->components != 1 && stream->components != 3) {
    refused = "not turned losslessly (CMYK): re-encoded";
    return std::nullopt;
  }
  TurnedJpeg turned =
      TurnJpegLosslessly(stream->bytes, codecs.TurnedOrientation(),
                         codecs.EncoderSettings().jpegProgressive || stream->progressive);
  switch (turned.outcome) {
    case TurnedJpeg::Outcome::Turned:
      return std::move(turned.bytes);
    case TurnedJpeg::Outcome::PartialBlocks:
      refused = "not whole JPEG blocks: re-encoded";
      return std::nullopt;
    case TurnedJpeg::Outcome::Refused:
      break;
  }
  refused = "not turned losslessly (" + turned.reason + "): re-encoded";
  return std::nullopt;
}

// The largest DCT scale (1/8, 1/4, 1/2) that still decodes at least fit.
int ScaleDenominator(long long width, long long height, PictureSize fit) {
  if (fit.width < 1 || fit.height < 1) return 1;
  for (int denom : {8, 4, 2}) {
    const long long w = (width + denom - 1) / denom, h = (height + denom - 1) / denom;
    if (w >= fit.width && h >= fit.height) return denom;
  }
  return 1;
}

PictureSize LoadJpeg(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture,
                     PictureSize fit) {
  JpegImage& codec = codecs.KeptOf<JpegKept>().codec;
  codec.KeepDamaged(codecs.KeepsDamaged());
  if (codecs.HeadersOnly()) {
    const auto [width, height] = codec.LoadHeader(img::ReadWholeFile(path), codecs.MetadataPlace());
    picture.Clear();
    return {width, height};
  }
  if (fit.width < 1 || fit.height < 1) {
    codec.Load(path, picture, 1, codecs.MetadataPlace());
    if (codec.CmykByFormula()) codecs.Warn(kCmykByFormula);
    codecs.NoteDamage(codec.Damage());
    return {picture.width(), picture.height()};
  }
  const auto [width, height] = JpegImage::ReadSize(path);
  codec.Load(path, picture, ScaleDenominator(width, height, fit), codecs.MetadataPlace());
  if (codec.CmykByFormula()) codecs.Warn(kCmykByFormula);
  codecs.NoteDamage(codec.Damage());
  return {width, height};
}

void WriteJpeg(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
               img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  JpegKept& kept = codecs.KeptOf<JpegKept>();
  const EncodingOptions& settings = codecs.EncoderSettings();
  const JpegCoding coding{settings.jpegProgressive, settings.jpegOptimize, settings.jpegSampling};
  // A size limit is met by searching the quality: that needs the pixels.
  const bool turn = settings.jpegLosslessTurn && settings.maxBytes == 0 && codecs.TurnedSource();
  const bool same = kept.quality == settings.jpegQuality && kept.coding == coding &&
                    kept.maxBytes == settings.maxBytes && kept.turnAsked == turn;
  if (same && kept.missed) throw *kept.missed;
  if (kept.encoded.empty() || !same) {
    kept.encoded.clear();
    kept.missed.reset();
    kept.quality = settings.jpegQuality;
    kept.maxBytes = settings.maxBytes;
    kept.coding = coding;
    kept.turnAsked = turn;
    kept.turnRefused.clear();
    kept.chosenQuality = 0;
    if (turn)
      if (std::optional<std::vector<std::uint8_t>> turned = LosslessTurn(codecs, kept.turnRefused))
        kept.encoded = std::move(*turned);
  }
  if (kept.encoded.empty()) {
    if (picture.empty()) throw PixelsNeeded();  // only its header was read
    kept.codec.SetCoding(coding);
    const auto encode = [&](int quality) {
      kept.codec.SetQuality(quality);
      return kept.codec.Encode(picture, codecs.CarriedMetadata());
    };
    if (settings.maxBytes > 0) {
      try {
        FittedFile fitted = FitQuality(settings.jpegQuality, settings.maxBytes, encode);
        kept.encoded = std::move(fitted.bytes);
        kept.chosenQuality = fitted.quality;
      } catch (const SizeLimitMissed& missed) {
        kept.missed = missed;
        throw;
      }
    } else {
      kept.encoded = encode(settings.jpegQuality);
      kept.chosenQuality = 0;
    }
  }
  img::WriteFileAtomically(path, kept.encoded);
  codecs.NoteChosenQuality(kept.chosenQuality);
  if (!kept.turnRefused.empty()) codecs.Warn(kept.turnRefused);
  if (codecs.CarriedMetadata())
    for (std::string& line : JpegImage::LeftOut(*codecs.CarriedMetadata())) codecs.Warn(std::move(line));
}

// libjpeg reads up to the first scan, through the file (its markers may be
// longer than any head). Only trivially destructible locals: libjpeg jumps.
bool ReadJpegHeader(jpeg_decompress_struct& in, JpegErrorManager& error, std::FILE* file,
                    HeaderFacts& facts) {
  if (setjmp(error.jump)) return false;
  jpeg_create_decompress(&in);
  jpeg_stdio_src(&in, file);
  jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&in, TRUE);
  facts.width = in.image_width;
  facts.height = in.image_height;
  for (jpeg_saved_marker_ptr m = in.marker_list; m; m = m->next)
    if (m->data_length > 6 && std::memcmp(m->data, "Exif\0", 6) == 0) {
      facts.orientation = ReadExifOrientation(std::span(m->data + 6, m->data_length - 6));
      facts.oriented = facts.orientation >= 2;
      break;
    }
  if (in.jpeg_color_space == JCS_GRAYSCALE) facts.decoded = facts.worked = 1;
  // One pass over the data keeps a band of rows; several keep every
  // coefficient of the picture until the last scan.
  if (jpeg_has_multiple_scans(&in)) {
    for (int c = 0; c < in.num_components; ++c) {
      const jpeg_component_info& component = in.comp_info[c];
      const auto round_up = [](std::uint64_t n, int m) { return (n + m - 1) / m * m; };
      facts.decoder += round_up(component.width_in_blocks, component.h_samp_factor) *
                       round_up(component.height_in_blocks, component.v_samp_factor) * DCTSIZE2 *
                       sizeof(JCOEF);
    }
  }
  return true;
}

// The encoder keeps the encoded file and works on a 24-bit copy.
constexpr WriterNeed kJpegNeed{.workPicture = true, .encodedHalf = true};

constexpr PictureFormat kJpeg[] = {
    {"jpg", ".jpg", IsJpeg, LoadJpeg, WriteJpeg, JpegFacts, nullptr, kJpegNeed, AlphaKept::None, false},
    {"jpeg", ".jpeg", IsJpeg, LoadJpeg, WriteJpeg, JpegFacts, nullptr, kJpegNeed, AlphaKept::None, false},
};

}  // namespace

HeaderFacts JpegFacts(PictureHead, const std::filesystem::path& path) {
  HeaderFacts facts;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenSourceFile(path), &std::fclose);
  if (!file) return facts;
  jpeg_decompress_struct in{};
  JpegErrorManager error;
  error.Attach(reinterpret_cast<j_common_ptr>(&in));
  if (!ReadJpegHeader(in, error, file.get(), facts)) facts = HeaderFacts{};
  jpeg_destroy_decompress(&in);
  return facts;
}

std::span<const PictureFormat> JpegFormats() { return kJpeg; }

}  // namespace engine
