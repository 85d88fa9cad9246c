#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include "PngBytes.h"
#include "engine/ConversionHost.h"
#include "engine/ParallelDeflate.h"
#include "engine/PoolParts.h"
#include "engine/WorkerPool.h"
#include "imaging/ImageError.h"

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
                    StreamCase{2'500'000, 0, 2}));         // chosen chunk size

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
  engine::PoolParts parts(img::NullProgress(), 2);
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

std::vector<std::uint8_t> DeflateThroughReader(const std::vector<std::uint8_t>& data,
                                               const engine::DeflateSettings& settings,
                                               img::ProgressSink& sink) {
  return engine::DeflateParallel(
      data.size(),
      [&](std::uint64_t at, std::span<std::uint8_t> out) {
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), out.size(), out.begin());
      },
      settings, sink);
}

class CountingSink : public img::ProgressSink {
 public:
  void PumpEvents() override { ++pumps; }
  int pumps = 0;
};

TEST(ParallelStream, CallerPumpsWhileWaitingForWorkers) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(400'000);
  engine::DeflateSettings settings = TwoThreadsSmallChunks();
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> slowed{false};
  // One chunk on the worker takes 400 ms: the caller runs out of chunks and
  // must keep the window alive while it waits. The caller's first chunk
  // waits (2 s at most) for a worker to start, or on a busy machine the
  // caller may take every chunk itself.
  settings.chunk_hook = [&](std::size_t) {
    if (std::this_thread::get_id() == caller) {
      for (int i = 0; i < 200 && !slowed.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else if (!slowed.exchange(true)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
  };
  CountingSink sink;
  EXPECT_EQ(Inflate(DeflateThroughReader(data, settings, sink)).data, data);
  EXPECT_GE(sink.pumps, 4);
}

// The first pump runs a whole nested write, as a window event handler might.
class NestingSink : public img::ProgressSink {
 public:
  void PumpEvents() override {
    if (++pumps > 1) return;
    const std::vector<std::uint8_t> data = PictureLikeBytes(300'000);
    nested_ok = Inflate(DeflateThroughReader(data, TwoThreadsSmallChunks(), img::NullProgress())).data == data;
  }
  int pumps = 0;
  bool nested_ok = false;
};

TEST(ParallelStream, PumpMayStartAnotherWrite) {
  const std::vector<std::uint8_t> data = PictureLikeBytes(400'000);
  engine::DeflateSettings settings = TwoThreadsSmallChunks();
  settings.chunk_hook = [](std::size_t) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
  NestingSink sink;
  EXPECT_EQ(Inflate(DeflateThroughReader(data, settings, sink)).data, data);
  EXPECT_GE(sink.pumps, 1);
  EXPECT_TRUE(sink.nested_ok);
}

TEST(WorkerPool, UsesTheThreadsAskedAndNoMore) {
  for (int threads : {2, 3}) {
    std::atomic<int> running{0}, peak{0};
    engine::WorkerPool::Shared().Run(40, threads, img::NullProgress(), [&](std::size_t, const auto&) {
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

// A host hands a picture's parts to the pool: each part runs once, on the
// picture's share of threads, and events are pumped on the caller only.
TEST(WorkerPool, HostRunsAPicturesPartsWithinItsThreads) {
  class PumpingHost : public engine::FixedOptionsHost {
   public:
    void PumpEvents() override {
      if (std::this_thread::get_id() != caller) off_caller = true;
    }
    std::thread::id caller = std::this_thread::get_id();
    bool off_caller = false;
  };
  const int saved = engine::PictureThreads();
  for (int threads : {1, 2}) {
    engine::SetPictureThreads(threads);
    PumpingHost host;
    std::vector<std::atomic<int>> runs(30);
    std::atomic<int> running{0}, peak{0};
    engine::PoolParts parts(host);
    parts.Run(runs.size(), [&](std::size_t i, const auto&) {
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
    EXPECT_FALSE(host.off_caller);
  }
  engine::SetPictureThreads(saved);
}

}  // namespace
