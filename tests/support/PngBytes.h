#pragma once
// PNG files read byte by byte, as a reference beside the codecs: the chunks
// in order (signature, lengths and CRCs checked), the joined image data, and
// zlib streams inflated whole; and chunks written by hand, for made-up files.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct PngChunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

inline void PutBigEndian32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Appends a chunk holding data with its CRC; its length field says declared.
inline void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type,
                           const std::vector<std::uint8_t>& data, std::uint32_t declared) {
  PutBigEndian32(file, declared);
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  PutBigEndian32(file, static_cast<std::uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(file.size() - start))));
}
inline void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type,
                           const std::vector<std::uint8_t>& data) {
  AppendPngChunk(file, type, data, static_cast<std::uint32_t>(data.size()));
}

// The file's chunks in order; fails the test on a bad signature, length or CRC.
inline std::vector<PngChunk> PngChunks(const std::vector<std::uint8_t>& file) {
  std::vector<PngChunk> chunks;
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(file.size() >= 8 && std::memcmp(file.data(), signature, 8) == 0);
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = BigEndian32(&file[at]);
    if (at + 12 + length > file.size()) break;
    PngChunk chunk{std::string(reinterpret_cast<const char*>(&file[at + 4]), 4),
                   std::vector<std::uint8_t>(file.begin() + at + 8, file.begin() + at + 8 + length)};
    const uLong crc = crc32(0, &file[at + 4], length + 4);
    EXPECT_EQ(crc, BigEndian32(&file[at + 8 + length])) << chunk.type;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

// The IDAT chunks' data, joined: one zlib stream.
inline std::vector<std::uint8_t> JoinedIdat(const std::vector<PngChunk>& chunks) {
  std::vector<std::uint8_t> stream;
  for (const PngChunk& c : chunks)
    if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
  return stream;
}

struct Inflated {
  int status = Z_OK;  // Z_STREAM_END when the whole stream, checksum included, was good
  std::vector<std::uint8_t> data;
};

// Inflates a zlib stream as far as it goes.
inline Inflated Inflate(const std::vector<std::uint8_t>& stream) {
  Inflated result;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return result;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  std::uint8_t buffer[16384];
  do {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result.status = inflate(&z, Z_NO_FLUSH);
    result.data.insert(result.data.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  } while (result.status == Z_OK);
  inflateEnd(&z);
  return result;
}

// The inflated bytes; empty when zlib reports any error (checksum included).
inline std::vector<std::uint8_t> InflateAll(const std::vector<std::uint8_t>& stream) {
  Inflated inflated = Inflate(stream);
  if (inflated.status != Z_STREAM_END) inflated.data.clear();
  return std::move(inflated.data);
}

}  // namespace testsupport
