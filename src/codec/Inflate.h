// Decompression of deflate data (RFC 1951), raw and in its zlib wrapping (RFC 1950), and the
// CRC-32 that zip archives and PNG files check it with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvi::codec {

struct Inflated {
  bool ok = false;          // the stream ended properly, within the input and the room given
  std::size_t read = 0;     // bytes of input up to the end of the stream
  std::size_t written = 0;  // bytes of output
};

// Decodes the raw deflate stream at the start of `in` into `out`. Damaged or truncated input, or
// output that would not fit into `room` bytes, ends the decoding with `ok` false; nothing outside
// the two buffers is ever read or written.
Inflated Inflate(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t room);

// The same for a zlib stream: its header, the deflate data, and the Adler-32 of the output.
Inflated ZlibInflate(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t room);

// The CRC-32 of zip and PNG (polynomial 0xEDB88320), continued from `crc` over `size` bytes.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace cvi::codec
