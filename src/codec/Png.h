// Reading a PNG picture into the rows of a 24-bit device-independent bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvi::codec {

// Rows of blue, green, red bytes, the bottom row first, each padded to a multiple of four bytes:
// what a bottom-up 24-bit DIB holds.
struct DibPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;
};

// The largest width and height accepted, so that a damaged header cannot ask for a huge buffer.
constexpr int kMaxPictureSide = 4096;

// Decodes what the build writes: 8-bit RGB, not interlaced; ancillary chunks are skipped. False for
// anything else, for damage (every chunk's CRC and the data's Adler-32 are checked) and for a
// picture larger than kMaxPictureSide.
bool DecodePng(const std::uint8_t* data, std::size_t size, DibPixels* picture);

}  // namespace cvi::codec
