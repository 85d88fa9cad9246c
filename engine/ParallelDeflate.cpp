#include "engine/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/PoolParts.h"
#include "imaging/ImageError.h"

namespace engine {

namespace {

constexpr int kLevel = Z_DEFAULT_COMPRESSION;
constexpr int kMemLevel = 8;
constexpr int kWindowBits = 15;
constexpr std::size_t kWindow = std::size_t{1} << kWindowBits;
// Input is handed to deflate in slices this big, so the calling thread gets
// to pump events between them even while it deflates a chunk itself.
constexpr std::size_t kSlice = 64 * 1024;
constexpr std::size_t kMinChunk = 128 * 1024;
constexpr std::size_t kMaxChunk = 1024 * 1024;

// The two bytes zlib writes before a stream at the default level with a
// 32 KiB window: deflate, window 2^15, "default" level flag, header check.
constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x9C};
static_assert((kZlibHeader[0] * 256 + kZlibHeader[1]) % 31 == 0);

[[noreturn]] void ThrowZlib(const char* what, int code, const z_stream& stream) {
  throw img::ImageError(img::ErrorCode::Io, std::string("zlib ") + what + " failed (" +
                                                std::to_string(code) + (stream.msg ? ", " : "") +
                                                (stream.msg ? stream.msg : "") + ")");
}

// A deflate stream that ends itself.
class Deflater {
 public:
  explicit Deflater(int window_bits) {
    const int ret =
        deflateInit2(&stream_, kLevel, Z_DEFLATED, window_bits, kMemLevel, Z_DEFAULT_STRATEGY);
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

// Deflates the data's bytes [begin, end) into out (appending), ending with
// final_flush; returns the Adler-32 of those bytes when want_adler is set.
uLong DeflateRange(Deflater& deflater, const RawReader& read, std::uint64_t begin,
                   std::uint64_t end, int final_flush, bool want_adler,
                   std::vector<std::uint8_t>& out, const img::ParallelParts::Yield& yield) {
  z_stream& z = deflater.stream();
  std::vector<std::uint8_t> slice(static_cast<std::size_t>(std::min<std::uint64_t>(kSlice, end - begin)));
  uLong adler = adler32(0, Z_NULL, 0);
  std::size_t used = out.size();
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
      if (out.size() - used < kSlice / 2) out.resize(std::max(out.size() + kSlice, out.size() * 3 / 2));
      z.next_out = out.data() + used;
      z.avail_out = static_cast<uInt>(out.size() - used);
      ret = deflate(&z, flush);
      if (ret == Z_STREAM_ERROR) ThrowZlib("deflate", ret, z);
      used = out.size() - z.avail_out;
    } while (z.avail_out == 0);
    if (flush == Z_FINISH && ret != Z_STREAM_END) ThrowZlib("deflate", ret, z);
    yield();
  } while (pos < end);
  out.resize(used);
  return adler;
}

struct Chunk {
  std::vector<std::uint8_t> bytes;
  uLong adler = 1;
  std::uint64_t length = 0;
};

std::size_t ChooseChunk(std::uint64_t size, int threads) {
  // Several chunks per thread keep the threads busy to the end; chunks much
  // below 128 KiB start to cost ratio at each join.
  const std::uint64_t even = size / (static_cast<std::uint64_t>(threads) * 4);
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(even, kMinChunk, kMaxChunk));
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

RawReader SpanReader(std::span<const std::uint8_t> data) {
  return [data](std::uint64_t offset, std::span<std::uint8_t> out) {
    std::memcpy(out.data(), data.data() + offset, out.size());
  };
}

// The one stream libpng would write, on the calling thread.
std::vector<std::uint8_t> SingleStream(std::uint64_t size, const RawReader& read,
                                       const img::ParallelParts::Yield& yield) {
  std::vector<std::uint8_t> out;
  Deflater deflater(LibpngWindowBits(size));
  // Room for the worst case up front: growing a vector of tens of
  // megabytes would copy it several times. Pages beyond what deflate
  // writes are never touched.
  out.reserve(static_cast<std::size_t>(deflateBound(&deflater.stream(), static_cast<uLong>(size))) + kSlice);
  DeflateRange(deflater, read, 0, size, Z_FINISH, false, out, yield);
  return out;
}

}  // namespace

std::vector<std::uint8_t> DeflateSingleStream(std::uint64_t size, const RawReader& read,
                                              img::ProgressSink& sink) {
  img::PacedPumps pumps(sink);
  return SingleStream(size, read, [&pumps] { pumps.PumpIfDue(); });
}

std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings,
                                          img::ProgressSink& sink) {
  PoolParts parts(sink, settings.threads);
  return DeflateParallel(size, read, settings, parts);
}

std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings,
                                          img::ParallelParts& parts) {
  const int threads = settings.threads > 0 ? settings.threads : parts.Threads();
  const std::size_t chunk_bytes =
      settings.chunk_bytes > 0 ? settings.chunk_bytes : ChooseChunk(size, threads);
  const std::uint64_t count = (size + chunk_bytes - 1) / chunk_bytes;
  if (threads <= 1 || size < settings.single_stream_below || count <= 1) {
    if (settings.chunk_hook) settings.chunk_hook(0);
    std::vector<std::uint8_t> out;
    parts.Run(1, [&](std::size_t, const img::ParallelParts::Yield& yield) {
      out = SingleStream(size, read, yield);
    });
    return out;
  }

  std::vector<Chunk> chunks(static_cast<std::size_t>(count));

  parts.Run(chunks.size(), [&](std::size_t i, const img::ParallelParts::Yield& yield) {
    if (settings.chunk_hook) settings.chunk_hook(i);
    const std::uint64_t begin = static_cast<std::uint64_t>(i) * chunk_bytes;
    const std::uint64_t end = std::min<std::uint64_t>(size, begin + chunk_bytes);
    Deflater deflater(-kWindowBits);
    if (begin > 0) {
      // The data just before the chunk, which the inflater will have in its
      // window when it gets here: matches into it cost what they would in
      // one stream.
      const std::size_t dict_len = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, begin));
      std::vector<std::uint8_t> dict(dict_len);
      read(begin - dict_len, dict);
      const int ret = deflateSetDictionary(&deflater.stream(), dict.data(), static_cast<uInt>(dict_len));
      if (ret != Z_OK) ThrowZlib("deflateSetDictionary", ret, deflater.stream());
    }
    Chunk& chunk = chunks[i];
    chunk.length = end - begin;
    // A sync flush ends each chunk on a byte boundary with its blocks not
    // final; only the last chunk finishes the stream.
    chunk.adler = DeflateRange(deflater, read, begin, end, i + 1 == chunks.size() ? Z_FINISH : Z_SYNC_FLUSH,
                               true, chunk.bytes, yield);
  });

  std::size_t total = sizeof kZlibHeader + 4;
  for (const Chunk& chunk : chunks) total += chunk.bytes.size();
  std::vector<std::uint8_t> out;
  out.reserve(total);
  out.insert(out.end(), std::begin(kZlibHeader), std::end(kZlibHeader));
  uLong adler = adler32(0, Z_NULL, 0);
  for (Chunk& chunk : chunks) {
    out.insert(out.end(), chunk.bytes.begin(), chunk.bytes.end());
    adler = adler32_combine(adler, chunk.adler, static_cast<z_off_t>(chunk.length));
    std::vector<std::uint8_t>().swap(chunk.bytes);
  }
  PutBigEndian32(out, static_cast<std::uint32_t>(adler));
  return out;
}

std::vector<std::uint8_t> DeflateSingleStream(std::span<const std::uint8_t> data) {
  return DeflateSingleStream(data.size(), SpanReader(data), img::NullProgress());
}

std::vector<std::uint8_t> DeflateParallel(std::span<const std::uint8_t> data,
                                          const DeflateSettings& settings) {
  return DeflateParallel(data.size(), SpanReader(data), settings, img::NullProgress());
}

}  // namespace engine
