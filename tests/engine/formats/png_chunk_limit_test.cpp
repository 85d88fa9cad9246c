// A PNG chunk that declares far more bytes than the file holds: libpng 1.6
// would allocate the declared length (up to 2 GB) before finding the end of
// the file. The loader refuses such blocks and reports a plain failure.

#include <string>
#include <vector>

#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/formats/png/PngImage.h"
#include "platform/ImageError.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class PngHugeChunkTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PngHugeChunkTest, RefusedAsBrokenFileWithoutHugeAllocation) {
  Bytes file{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const Bytes ihdr{0, 0, 0, 6, 0, 0, 0, 6, 8, 2, 0, 0, 0};  // 6x6 RGB, 8 bits
  testsupport::AppendPngChunk(file, "IHDR", ihdr);
  testsupport::AppendPngChunk(file, GetParam(), Bytes(16, 'a'), 0x7FFFFFF0u);

  engine::PngImage codec;
  img::Bitmap picture(3, 2);
  EXPECT_THROW(codec.LoadFromMemory(file, picture), img::ImageError);
  EXPECT_EQ(picture.width(), 3);
}

INSTANTIATE_TEST_SUITE_P(Chunks, PngHugeChunkTest,
                         ::testing::Values("tEXt", "zTXt", "iTXt", "iCCP", "sCAL", "pCAL", "eXIf",
                                           "sPLT"),
                         testsupport::ByValue());

}  // namespace
