// The size and orientation a file's header tells, against what the loaders
// find when they decode it: the names a run gives by size must be the sizes
// it writes.

#include "engine/formats/PictureHeader.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <condition_variable>
#include <mutex>
#include <thread>

#include "PictureFiles.h"
#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/formats/PictureFormats.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A PNG's chunks rewritten: the eXIf moved behind the image data, and
// optionally a damaged eXIf of another orientation left in its place.
Bytes ExifAfterImageData(const Bytes& png, bool damagedFirst) {
  Bytes out(png.begin(), png.begin() + 8);
  testsupport::PngChunk exif;
  for (const testsupport::PngChunk& chunk : testsupport::PngChunks(png)) {
    if (chunk.type == "eXIf") {
      exif = chunk;
      if (damagedFirst) {
        testsupport::AppendPngChunk(out, "eXIf", testsupport::ExifWithOrientation(3));
        out[out.size() - 1] ^= 1;  // its CRC
      }
      continue;
    }
    if (chunk.type == "IEND") testsupport::AppendPngChunk(out, "eXIf", exif.data);
    testsupport::AppendPngChunk(out, chunk.type.c_str(), chunk.data);
  }
  return out;
}

struct HeaderCase {
  const char* name;
  const char* extension;
  int orientation;  // written; 0: none (BMP)
  Bytes (*rewrite)(const Bytes&) = nullptr;
  friend void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }
};

class PictureHeaderCases : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(PictureHeaderCases, TellsWhatTheLoaderFinds) {
  const HeaderCase c = GetParam();
  testsupport::TempDir dir;
  const fs::path path = dir / (std::string("p") + c.extension);
  const img::Bitmap stored = testsupport::GradientBitmap(7, 3);
  if (c.orientation == 0) {
    stored.SaveToFile(path);
  } else {
    engine::PictureMetadata metadata;
    metadata.exif = testsupport::ExifWithOrientation(c.orientation, c.orientation % 2 == 1);
    testsupport::WritePictureWith(stored, metadata, path);
  }
  if (c.rewrite) img::WriteFileAtomically(path, c.rewrite(img::ReadWholeFile(path)));

  const std::optional<engine::HeaderFacts> header = engine::ReadPictureHeader(img::PathToUtf8(path), engine::HeaderDepth::Orientation);
  ASSERT_TRUE(header.has_value());
  img::Bitmap decoded;
  const engine::PictureMetadata found = testsupport::ReadPictureWith(path, decoded);
  EXPECT_EQ(header->width, decoded.width());
  EXPECT_EQ(header->height, decoded.height());
  EXPECT_EQ(header->orientation, found.exif.empty() ? 0 : engine::ReadExifOrientation(found.exif));
  EXPECT_EQ(header->orientation, c.orientation);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureHeaderCases,
    ::testing::Values(HeaderCase{"Jpeg", ".jpg", 6}, HeaderCase{"Png", ".png", 8},
                      HeaderCase{"PngExifAfterTheImageData", ".png", 5,
                                 [](const Bytes& png) { return ExifAfterImageData(png, false); }},
                      HeaderCase{"PngDamagedExifPassedOver", ".png", 7,
                                 [](const Bytes& png) { return ExifAfterImageData(png, true); }},
                      HeaderCase{"Webp", ".webp", 6}, HeaderCase{"Tiff", ".tiff", 6}, HeaderCase{"Bmp", ".bmp", 0}),
    [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// A source a racer swaps for a pipe after it was seen to be a file: every
// reader of the format table (its header facts, its orientation, its
// loader) opens the pipe and refuses it without waiting for a writer. A
// watch opens the pipe's other end after a while, so a reader that waits
// fails the test instead of hanging it.
class ReadersOfASource : public ::testing::TestWithParam<std::string> {};

TEST_P(ReadersOfASource, RefuseAPipeWithoutWaitingForAWriter) {
  const engine::PictureFormat& format = engine::FormatNamed(GetParam());
  testsupport::TempDir tmp;
  const fs::path pipe = tmp / (std::string("swapped") + format.extension);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // A head that passes the format's signature, as the racer's file had.
  Bytes head(64, 0);
  for (const Bytes& start : {Bytes{'B', 'M'}, Bytes{0xFF, 0xD8, 0xFF, 0xE0}, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'},
                             Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'},
                             Bytes{'I', 'I', '*', 0}, Bytes{'G', 'I', 'F', '8', '9', 'a'},
                             Bytes{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'},
                             Bytes{0, 0, 0, 24, 'f', 't', 'y', 'p', 'a', 'v', 'i', 'f'},
                             Bytes{0, 0, 0, 24, 'f', 't', 'y', 'p', 'c', 'r', 'x', ' '},
                             Bytes{'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M'}, Bytes{'I', 'I', 'R', 'O'}, Bytes{'I', 'I', 'U', 0}, Bytes{0xFF, 0x0A}}) {
    Bytes candidate = head;
    std::copy(start.begin(), start.end(), candidate.begin());
    if (format.isA(std::span(candidate).first(engine::kSignatureBytes))) head = candidate;
  }
  ASSERT_TRUE(format.isA(std::span(head).first(engine::kSignatureBytes))) << "no head for " << format.name;

  std::mutex mutex;
  std::condition_variable ended;
  bool done = false, rescued = false;
  std::thread watch([&] {
    std::unique_lock lock(mutex);
    if (ended.wait_for(lock, std::chrono::seconds(3), [&] { return done; })) return;
    rescued = true;
    // Opens the other end until the waiting reader has given up.
    for (int tries = 0; tries < 100 && !done; ++tries) {
      lock.unlock();
      const int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      lock.lock();
    }
  });
  format.facts(head, pipe);
  if (format.orientation) format.orientation(head, pipe);
  engine::PictureCodecs codecs;
  img::Bitmap picture;
  EXPECT_ANY_THROW(format.load(codecs, pipe, picture, {}));
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  ended.notify_all();
  watch.join();
  EXPECT_FALSE(rescued) << format.name << ": a reader waited for the pipe's writer";
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ReadersOfASource, ::testing::ValuesIn([] {
                           std::vector<std::string> names;
                           for (const engine::PictureFormat& f : engine::PictureFormats()) names.push_back(f.name);
                           return names;
                         }()),
                         [](const auto& info) { return info.param; });
#endif

}  // namespace
