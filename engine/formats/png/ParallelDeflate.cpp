#include "engine/formats/png/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/ImageError.h"
#include "platform/UnfilledBytes.h"

namespace engine {

namespace {

constexpr int kMemLevel = 8;
constexpr int kWindowBits = 15;
constexpr std::size_t kWindow = std::size_t{1} << kWindowBits;
// Input is handed to deflate in slices this big: the reader fills one slice
// at a time, so no chunk needs a copy of its whole input.
constexpr std::size_t kSlice = 64 * 1024;
constexpr std::size_t kMinChunk = 128 * 1024;
constexpr std::size_t kMaxChunk = 1024 * 1024;
// A single stream is handed on whenever this much of it is ready.
constexpr std::size_t kStreamBuffer = 256 * 1024;

// The two bytes zlib writes before a stream with a 32 KiB window at this
// level: deflate, window 2^15, the level's flag (0 fastest, 1 fast, 2
// default, 3 best) and the check that makes the pair a multiple of 31,
// reckoned as zlib reckons them.
std::array<std::uint8_t, 2> ZlibHeader(int level) {
  const unsigned flag = level < 0 || level == 6 ? 2 : level < 2 ? 0 : level < 6 ? 1 : 3;
  unsigned header = (0x78u << 8) | (flag << 6);
  header += 31 - header % 31;
  return {static_cast<std::uint8_t>(header >> 8), static_cast<std::uint8_t>(header)};
}

int Strategy(const DeflateSettings& settings) { return settings.filtered_rows ? Z_FILTERED : Z_DEFAULT_STRATEGY; }

[[noreturn]] void ThrowZlib(const char* what, int code, const z_stream& stream) {
  throw img::ImageError(img::ErrorCode::Io, std::string("zlib ") + what + " failed (" +
                                                std::to_string(code) + (stream.msg ? ", " : "") +
                                                (stream.msg ? stream.msg : "") + ")");
}

// A deflate stream that ends itself.
class Deflater {
 public:
  Deflater(int window_bits, const DeflateSettings& settings) {
    const int ret =
        deflateInit2(&stream_, settings.level, Z_DEFLATED, window_bits, kMemLevel, Strategy(settings));
    if (ret != Z_OK) ThrowZlib("deflateInit2", ret, stream_);
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
};

// Window bits as libpng chooses them: 15, narrowed while the data (plus the
// 262 bytes of lookahead deflate wants) fits in half the window.
int LibpngWindowBits(std::uint64_t size) {
  int bits = kWindowBits;
  if (size <= 16384) {
    unsigned half = 1u << (bits - 1);
    while (size + 262 <= half) {
      half >>= 1;
      --bits;
    }
  }
  return bits;
}

// Where a deflate's output goes: a buffer that grows (a chunk kept until its
// turn), or a fixed buffer handed to a sink whenever it fills (a stream
// written as it is made). Grown bytes are not zero-filled: deflate writes
// them.
struct Output {
  img::UnfilledBytes bytes;
  std::size_t used = 0;
  const StreamSink* sink = nullptr;

  // Room for deflate to write into: a stream hands on what it has when the
  // room runs low; a chunk grows only once it is full.
  void MakeRoom() {
    if (sink) {
      if (bytes.size() - used >= kSlice / 2) return;
      if (used > 0) (*sink)(std::span<const std::uint8_t>(bytes.data(), used));
      used = 0;
      if (bytes.size() < kSlice) bytes.resize(kSlice);
      return;
    }
    if (used < bytes.size()) return;
    bytes.resize(std::max(bytes.size() + kSlice, bytes.size() * 3 / 2));
  }
  void Flush() {
    if (sink && used > 0) (*sink)(std::span<const std::uint8_t>(bytes.data(), used));
    if (sink) used = 0;
  }
};

// Deflates the data's bytes [begin, end) into out, ending with final_flush;
// returns the Adler-32 of those bytes when want_adler is set.
uLong DeflateRange(Deflater& deflater, const RawReader& read, std::uint64_t begin,
                   std::uint64_t end, int final_flush, bool want_adler, Output& out) {
  z_stream& z = deflater.stream();
  img::UnfilledBytes slice(static_cast<std::size_t>(std::min<std::uint64_t>(kSlice, end - begin)));
  uLong adler = adler32(0, Z_NULL, 0);
  std::uint64_t pos = begin;
  do {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kSlice, end - pos));
    if (n > 0) {
      read(pos, std::span<std::uint8_t>(slice.data(), n));
      if (want_adler) adler = adler32(adler, slice.data(), static_cast<uInt>(n));
    }
    pos += n;
    const int flush = pos == end ? final_flush : Z_NO_FLUSH;
    z.next_in = slice.data();
    z.avail_in = static_cast<uInt>(n);
    int ret = Z_OK;
    do {
      out.MakeRoom();
      z.next_out = out.bytes.data() + out.used;
      z.avail_out = static_cast<uInt>(out.bytes.size() - out.used);
      ret = deflate(&z, flush);
      if (ret == Z_STREAM_ERROR) ThrowZlib("deflate", ret, z);
      out.used = out.bytes.size() - z.avail_out;
    } while (z.avail_out == 0);
    if (flush == Z_FINISH && ret != Z_STREAM_END) ThrowZlib("deflate", ret, z);
  } while (pos < end);
  out.Flush();
  return adler;
}

std::size_t ChooseChunk(std::uint64_t size, int threads, bool filtered_rows) {
  // Several chunks per thread keep the threads busy to the end; chunks much
  // below 128 KiB start to cost ratio at each join. Filtered rows deflate
  // several times slower, so a thread's last chunk would leave the others
  // idle longer: they get twice as many chunks, half as large.
  const std::uint64_t per_thread = filtered_rows ? 8 : 4;
  const std::uint64_t even = size / (static_cast<std::uint64_t>(threads) * per_thread);
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(even, kMinChunk, filtered_rows ? kMaxChunk / 2 : kMaxChunk));
}

RawReader SpanReader(std::span<const std::uint8_t> data) {
  return [data](std::uint64_t offset, std::span<std::uint8_t> out) {
    std::memcpy(out.data(), data.data() + offset, out.size());
  };
}

StreamSink Collector(std::vector<std::uint8_t>& stream) {
  return [&stream](std::span<const std::uint8_t> piece) { stream.insert(stream.end(), piece.begin(), piece.end()); };
}

// The one stream libpng would write, on the calling thread.
void SingleStream(std::uint64_t size, const RawReader& read, const StreamSink& sink,
                  const DeflateSettings& settings) {
  Deflater deflater(LibpngWindowBits(size), settings);
  Output out;
  out.sink = &sink;
  out.bytes.resize(std::min<std::size_t>(kStreamBuffer, deflateBound(&deflater.stream(), static_cast<uLong>(size)) + kSlice));
  DeflateRange(deflater, read, 0, size, Z_FINISH, false, out);
}

// The parallel stream's chunks, deflated in any order and handed on in
// order. Whichever thread finishes the chunk that is next to go writes it,
// and every finished chunk after it, outside the lock; the others only
// leave theirs behind.
class ChunkOrder {
 public:
  ChunkOrder(std::size_t count, const StreamSink& sink, int level)
      : chunks_(count), sink_(sink), header_(ZlibHeader(level)) {}

  // Chunk i's deflated bytes, its Adler-32 and its raw length.
  void Finished(std::size_t i, img::UnfilledBytes bytes, uLong adler, std::uint64_t length) {
    std::unique_lock lock(mutex_);
    Chunk& chunk = chunks_[i];
    chunk.bytes = std::move(bytes);
    chunk.adler = adler;
    chunk.length = length;
    chunk.done = true;
    if (writing_ || failed_) return;
    writing_ = true;
    while (next_ < chunks_.size() && chunks_[next_].done) {
      Chunk& ready = chunks_[next_];
      lock.unlock();
      try {
        Write(ready);
      } catch (...) {
        lock.lock();
        failed_ = true;
        writing_ = false;
        throw;
      }
      lock.lock();
      ++next_;
    }
    writing_ = false;
  }

  bool AllWritten() const { return next_ == chunks_.size(); }

 private:
  struct Chunk {
    img::UnfilledBytes bytes;
    uLong adler = 1;
    std::uint64_t length = 0;
    bool done = false;
  };

  // Only the thread holding the writing turn gets here.
  void Write(Chunk& chunk) {
    if (&chunk == &chunks_.front()) sink_(header_);
    sink_(chunk.bytes);
    adler_ = adler32_combine(adler_, chunk.adler, static_cast<z_off_t>(chunk.length));
    img::UnfilledBytes().swap(chunk.bytes);
    if (&chunk == &chunks_.back()) {
      const std::uint8_t trailer[4] = {static_cast<std::uint8_t>(adler_ >> 24), static_cast<std::uint8_t>(adler_ >> 16),
                                       static_cast<std::uint8_t>(adler_ >> 8), static_cast<std::uint8_t>(adler_)};
      sink_(trailer);
    }
  }

  std::mutex mutex_;
  std::vector<Chunk> chunks_;
  const StreamSink& sink_;
  const std::array<std::uint8_t, 2> header_;
  std::size_t next_ = 0;
  bool writing_ = false;
  bool failed_ = false;
  uLong adler_ = adler32(0, Z_NULL, 0);
};

}  // namespace

void DeflateSingleStream(std::uint64_t size, const RawReader& read, const StreamSink& out,
                         const DeflateSettings& settings) {
  SingleStream(size, read, out, settings);
}

void DeflateParallel(std::uint64_t size, const RawReader& read, const DeflateSettings& settings,
                     img::ParallelParts& parts, const StreamSink& out) {
  DeflateParallel(size, [&read] { return read; }, settings, parts, out);
}

void DeflateParallel(std::uint64_t size, const ChunkReaderMaker& make_reader, const DeflateSettings& settings,
                     img::ParallelParts& parts, const StreamSink& out) {
  const int threads = settings.threads > 0 ? settings.threads : parts.Threads();
  const std::size_t chunk_bytes =
      settings.chunk_bytes > 0 ? settings.chunk_bytes : ChooseChunk(size, threads, settings.filtered_rows);
  const std::uint64_t count = (size + chunk_bytes - 1) / chunk_bytes;
  if (threads <= 1 || size < settings.single_stream_below || count <= 1) {
    if (settings.chunk_hook) settings.chunk_hook(0);
    parts.Run(1, [&](std::size_t) { SingleStream(size, make_reader(), out, settings); });
    return;
  }

  ChunkOrder order(static_cast<std::size_t>(count), out, settings.level);
  parts.Run(static_cast<std::size_t>(count), [&](std::size_t i) {
    if (settings.chunk_hook) settings.chunk_hook(i);
    const std::uint64_t begin = static_cast<std::uint64_t>(i) * chunk_bytes;
    const std::uint64_t end = std::min<std::uint64_t>(size, begin + chunk_bytes);
    const RawReader read = make_reader();
    Deflater deflater(-kWindowBits, settings);
    if (begin > 0) {
      // The data just before the chunk, which the inflater will have in its
      // window when it gets here: matches into it cost what they would in
      // one stream.
      const std::size_t dict_len = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, begin));
      img::UnfilledBytes dict(dict_len);
      read(begin - dict_len, dict);
      const int ret = deflateSetDictionary(&deflater.stream(), dict.data(), static_cast<uInt>(dict_len));
      if (ret != Z_OK) ThrowZlib("deflateSetDictionary", ret, deflater.stream());
    }
    Output chunk;
    // Room for the whole chunk at once: it seldom has to grow.
    chunk.bytes.resize(static_cast<std::size_t>(deflateBound(&deflater.stream(), static_cast<uLong>(end - begin))) + 64);
    // A sync flush ends each chunk on a byte boundary with its blocks not
    // final; only the last chunk finishes the stream.
    const uLong adler = DeflateRange(deflater, read, begin, end, i + 1 == count ? Z_FINISH : Z_SYNC_FLUSH, true,
                                     chunk);
    chunk.bytes.resize(chunk.used);
    order.Finished(i, std::move(chunk.bytes), adler, end - begin);
  });
  if (!order.AllWritten())
    throw img::ImageError(img::ErrorCode::Internal, "the deflated chunks were not all written");
}

std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings,
                                          img::ParallelParts& parts) {
  std::vector<std::uint8_t> stream;
  DeflateParallel(size, read, settings, parts, Collector(stream));
  return stream;
}

std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings) {
  img::SerialParts parts;
  return DeflateParallel(size, read, settings, parts);
}

std::vector<std::uint8_t> DeflateSingleStream(std::span<const std::uint8_t> data,
                                              const DeflateSettings& settings) {
  std::vector<std::uint8_t> stream;
  DeflateSingleStream(data.size(), SpanReader(data), Collector(stream), settings);
  return stream;
}

std::vector<std::uint8_t> DeflateParallel(std::span<const std::uint8_t> data,
                                          const DeflateSettings& settings) {
  return DeflateParallel(data.size(), SpanReader(data), settings);
}

}  // namespace engine
