#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ParamNames.h"
#include "PngBytes.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/formats/png/ParallelDeflate.h"
#include "engine/threads/PoolParts.h"
#include "engine/threads/WorkerPool.h"
#include "platform/ImageError.h"

namespace {

using testsupport::Inflate;
using testsupport::Inflated;

// Smooth ramps with grain, repeating now and then: matches both near and
// far (across chunk joins), like picture rows.
std::vector<std::uint8_t> PictureLikeBytes(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  std::uint32_t seed = 99;
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    data[i] = static_cast<std::uint8_t>((i / 97) % 200 + ((seed >> 24) & 7));
  }
  return data;
}

struct StreamCase {
  std::size_t size;
  std::size_t chunk_bytes;
  int threads;
  friend void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.size << " bytes in chunks of " << c.chunk_bytes << " on " << c.threads << " threads";
  }
};

class ParallelStream : public testing::TestWithParam<StreamCase> {};

TEST_P(ParallelStream, InflatesToTheDataWithItsChecksum) {
  const StreamCase c = GetParam();
  const std::vector<std::uint8_t> data = PictureLikeBytes(c.size);
  engine::DeflateSettings settings;
  settings.threads = c.threads;
  settings.chunk_bytes = c.chunk_bytes;
  settings.single_stream_below = 0;
  const std::vector<std::uint8_t> stream = engine::DeflateParallel(data, settings);
  const Inflated back = Inflate(stream);
  EXPECT_EQ(back.status, Z_STREAM_END);
  EXPECT_EQ(back.data, data);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ParallelStream,
    testing::Values(StreamCase{0, 1000, 2},                // nothing at all
                    StreamCase{1, 1000, 2},                // one byte, one chunk
                    StreamCase{5000, 1000, 2},             // chunks shorter than the window
                    StreamCase{100001, 7777, 3},           // dictionary spans several chunks
                    StreamCase{300000, 32768, 2},          // chunk = window
                    StreamCase{1 << 20, 128 * 1024, 4},    // more threads than cores
                    StreamCase{2'500'000, 0, 2}),          // chosen chunk size
    testsupport::ByValue());

TEST(ParallelStream, SmallDataIsOneStreamAsLibpngWritesIt) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(200'000);
  engine::DeflateSettings settings;
  settings.threads = 2;
  EXPECT_EQ(engine::DeflateParallel(data, settings), engine::DeflateSingleStream(data));
}

TEST(ParallelStream, CorruptChunkOrChecksumIsCaught) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(400'000);
  engine::DeflateSettings settings;
  settings.threads = 2;
  settings.chunk_bytes = 50'000;
  settings.single_stream_below = 0;
  const std::vector<std::uint8_t> stream = engine::DeflateParallel(data, settings);
  ASSERT_EQ(Inflate(stream).status, Z_STREAM_END);

  std::vector<std::uint8_t> bad_body = stream;
  bad_body[bad_body.size() / 2] ^= 0x10;  // inside a middle chunk's deflate data
  EXPECT_NE(Inflate(bad_body).status, Z_STREAM_END);

  std::vector<std::uint8_t> bad_sum = stream;
  bad_sum[bad_sum.size() - 2] ^= 0x01;  // the combined Adler-32
  EXPECT_EQ(Inflate(bad_sum).status, Z_DATA_ERROR);
}

TEST(ParallelStream, RatioStaysThatOfOneStream) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(3'000'000);
  engine::DeflateSettings settings;
  settings.threads = 2;
  const double one = static_cast<double>(engine::DeflateSingleStream(data).size());
  const double many = static_cast<double>(engine::DeflateParallel(data, settings).size());
  EXPECT_LT(many / one, 1.01);
}

engine::DeflateSettings TwoThreadsSmallChunks() {
  engine::DeflateSettings settings;
  settings.threads = 2;
  settings.chunk_bytes = 25'000;
  settings.single_stream_below = 0;
  return settings;
}

// Each level's chunks are deflated at that level (their stream within 1% of
// one stream's size), and the joined stream begins as zlib's own at that
// level does: its header names the level.
TEST(ParallelStream, EachLevelIsTheStreamsOwn) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(300'000);
  for (int level = 0; level <= 9; ++level) {
    engine::DeflateSettings settings = TwoThreadsSmallChunks();
    settings.level = level;
    const std::vector<std::uint8_t> stream = engine::DeflateParallel(data, settings);
    const std::vector<std::uint8_t> single = engine::DeflateSingleStream(data, settings);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + 2, single.begin())) << "level " << level;
    const Inflated back = Inflate(stream);
    EXPECT_EQ(back.status, Z_STREAM_END) << "level " << level;
    EXPECT_EQ(back.data, data) << "level " << level;
    EXPECT_NEAR(static_cast<double>(stream.size()) / static_cast<double>(single.size()), 1.0, 0.01)
        << "level " << level;
  }
}

// A full disk: the sink fails in whichever thread wrote, the stream fails
// with its error, and nothing more reaches the sink after it threw. The
// pieces it took before came in order.
TEST(ParallelStream, FailingSinkFailsTheStreamAndTakesNothingMore) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(800'000);
  const engine::DeflateSettings settings = TwoThreadsSmallChunks();
  const std::vector<std::uint8_t> whole = engine::DeflateParallel(data, settings);
  std::vector<std::uint8_t> taken;
  int calls = 0, after_failure = 0;
  const engine::StreamSink failing = [&](std::span<const std::uint8_t> piece) {
    if (calls > 8) ++after_failure;
    if (++calls == 8) throw img::ImageError(img::ErrorCode::Io, "No space left on device");
    taken.insert(taken.end(), piece.begin(), piece.end());
  };
  engine::PoolParts parts(2);
  EXPECT_THROW(engine::DeflateParallel(data.size(), [&](std::uint64_t at, std::span<std::uint8_t> out) {
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), out.size(), out.begin());
  }, settings, parts, failing), img::ImageError);
  EXPECT_EQ(after_failure, 0);
  ASSERT_LT(taken.size(), whole.size());
  EXPECT_TRUE(std::equal(taken.begin(), taken.end(), whole.begin()));
}

TEST(ParallelStream, FailingChunkFailsTheStreamAndThePoolGoesOn) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(600'000);
  engine::DeflateSettings settings;
  settings.threads = 2;
  settings.chunk_bytes = 20'000;
  settings.single_stream_below = 0;
  std::atomic<int> started{0};
  settings.chunk_hook = [&](std::size_t chunk) {
    ++started;
    if (chunk == 3) throw std::runtime_error("chunk 3 failed");
  };
  EXPECT_THROW(engine::DeflateParallel(data, settings), std::runtime_error);
  EXPECT_LT(started.load(), 30);  // the rest were skipped

  settings.chunk_hook = nullptr;
  EXPECT_EQ(Inflate(engine::DeflateParallel(data, settings)).data, data);
}

TEST(WorkerPool, UsesTheThreadsAskedAndNoMore) {
  for (int threads : {2, 3}) {
    std::atomic<int> running{0}, peak{0};
    engine::WorkerPool::Shared().Run(40, threads, [&](std::size_t) {
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      --running;
    });
    EXPECT_EQ(peak.load(), threads);
  }
}

// A picture's parts on the pool: each part runs once, on the picture's
// share of threads.
TEST(WorkerPool, PicturePartsRunWithinTheirThreads) {
  const int saved = engine::PictureThreads();
  for (int threads : {1, 2}) {
    engine::SetPictureThreads(threads);
    std::vector<std::atomic<int>> runs(30);
    std::atomic<int> running{0}, peak{0};
    engine::PoolParts parts;
    parts.Run(runs.size(), [&](std::size_t i) {
      ++runs[i];
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      --running;
    });
    for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].load(), 1) << "part " << i;
    EXPECT_EQ(peak.load(), threads);
  }
  engine::SetPictureThreads(saved);
}

}  // namespace
