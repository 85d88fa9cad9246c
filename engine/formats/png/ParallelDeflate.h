#pragma once
// Deflating picture data into one zlib stream, on one core or on several.
// The parallel path cuts the data into chunks, deflates each on a worker at
// the stream's level with the previous 32 KiB of data as its dictionary,
// and joins the pieces into a single stream whose Adler-32 covers the whole,
// so any inflater reads it as if one deflate had written it. The stream is
// handed on in order as its pieces are ready, so it never has to be held
// whole: only the chunks done before an earlier one are.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace engine {

// Fills out with the bytes [offset, offset + out.size()) of the data. Called
// from worker threads at once, so it must only read shared state.
using RawReader = std::function<void(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Makes the reader of one chunk, or of the single stream, on the thread that
// deflates it. That reader is called from that thread alone, for the 32 KiB
// before the chunk and then for the chunk from its start to its end, in
// order, so it may keep what it made for one call to the next (a row).
using ChunkReaderMaker = std::function<RawReader()>;

// Takes the stream's next bytes. Called in stream order and never from two
// threads at once, but from whichever thread finished the piece (a worker
// too); throwing abandons the stream and fails the deflate with that error.
using StreamSink = std::function<void(std::span<const std::uint8_t> piece)>;

struct DeflateSettings {
  // Threads to plan the chunks for, the caller included; 0 takes the parts
  // runner's.
  int threads = 0;
  // Raw bytes per chunk; 0 chooses from the data size and the threads.
  std::size_t chunk_bytes = 0;
  // Data smaller than this is deflated as one stream on the caller: starting
  // workers would cost more than they save.
  std::uint64_t single_stream_below = 512 * 1024;
  // zlib's level, 0 (stored) to 9; 6 is its default.
  int level = 6;
  // zlib's strategy for filtered PNG rows (Z_FILTERED), which libpng uses
  // whenever rows may be filtered; else the default strategy.
  bool filtered_rows = false;
  // For tests: called with the chunk's index before it is deflated, on the
  // thread that deflates it (a single stream is chunk 0); throwing fails the
  // whole stream.
  std::function<void(std::size_t chunk)> chunk_hook;
};

// One zlib stream as libpng writes it: the settings' level and strategy,
// memLevel 8, and a window of 15 bits, narrowed as libpng narrows it for
// data of at most 16 KiB.
void DeflateSingleStream(std::uint64_t size, const RawReader& read, const StreamSink& out,
                         const DeflateSettings& settings = {});

// The same data as one zlib stream, its chunks deflated as parts (or one
// stream, as DeflateSingleStream writes it, when small or planned for one
// thread), handed to out in order. Any failure, in a part, in out or here,
// throws img::ImageError or the part's own exception.
void DeflateParallel(std::uint64_t size, const RawReader& read, const DeflateSettings& settings,
                     img::ParallelParts& parts, const StreamSink& out);
// The same with a reader of its own for each chunk.
void DeflateParallel(std::uint64_t size, const ChunkReaderMaker& make_reader, const DeflateSettings& settings,
                     img::ParallelParts& parts, const StreamSink& out);

// The whole stream in memory, on the given parts or on the caller alone.
std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings,
                                          img::ParallelParts& parts);
std::vector<std::uint8_t> DeflateParallel(std::uint64_t size, const RawReader& read,
                                          const DeflateSettings& settings);

// Convenience forms over data already in memory.
std::vector<std::uint8_t> DeflateSingleStream(std::span<const std::uint8_t> data,
                                              const DeflateSettings& settings = {});
std::vector<std::uint8_t> DeflateParallel(std::span<const std::uint8_t> data,
                                          const DeflateSettings& settings = {});

}  // namespace engine
