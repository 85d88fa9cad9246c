#include "engine/convert/UprightPicture.h"

#include <optional>
#include <utility>

#include "engine/metadata/ExifOrientation.h"
#include "engine/formats/PictureFormats.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/ParallelParts.h"

namespace engine {

namespace {

// The codecs read metadata only while one of these lives.
class ReadingMetadata {
 public:
  ReadingMetadata(PictureCodecs& codecs, PictureMetadata& into) : codecs_(codecs) {
    codecs_.ReadMetadataInto(&into);
  }
  ~ReadingMetadata() { codecs_.ReadMetadataInto(nullptr); }
  ReadingMetadata(const ReadingMetadata&) = delete;
  ReadingMetadata& operator=(const ReadingMetadata&) = delete;

 private:
  PictureCodecs& codecs_;
};

}  // namespace

PictureSize LoadUprightPicture(const std::string& path, img::Bitmap& picture, PictureSize fit,
                               PictureCodecs* codecs) {
  std::optional<PictureCodecs> temporary;
  if (!codecs) codecs = &temporary.emplace();
  PictureMetadata metadata;
  PictureSize size;
  {
    ReadingMetadata reading(*codecs, metadata);
    size = LoadPicture(path, picture, fit, codecs);
  }
  // A decode at a fraction of the size still covers the box once turned:
  // its stored sides each cover the box's, so the turned ones do too.
  img::SerialParts parts;
  if (TurnUpright(picture, metadata.exif, parts) >= 5) std::swap(size.width, size.height);
  return size;
}

}  // namespace engine
