// Reading the PNG pictures that the build makes: the chunks, the zlib data and the row filters.
#include "codec/Png.h"

#include <cstdlib>
#include <cstring>

#include "codec/Inflate.h"

namespace cvi::codec {
namespace {

constexpr std::size_t kBytesPerPixel = 3;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool IsType(const std::uint8_t* type, const char* name) {
  return std::memcmp(type, name, 4) == 0;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes each row's filter in place; every row is its filter byte and `stride` bytes.
bool Unfilter(std::uint8_t* rows, int height, std::size_t stride) {
  const std::uint8_t* previous = nullptr;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = rows + y * (stride + 1);
    const std::uint8_t type = row[0];
    std::uint8_t* pixels = row + 1;
    if (type > 4)
      return false;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= kBytesPerPixel ? pixels[i - kBytesPerPixel] : 0;
      const int b = previous ? previous[i] : 0;
      const int c = previous && i >= kBytesPerPixel ? previous[i - kBytesPerPixel] : 0;
      const int predicted = type == 0   ? 0
                            : type == 1 ? a
                            : type == 2 ? b
                            : type == 3 ? (a + b) / 2
                                        : Paeth(a, b, c);
      pixels[i] = static_cast<std::uint8_t>(pixels[i] + predicted);
    }
    previous = pixels;
  }
  return true;
}

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t size, DibPixels* picture) {
  static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
    return false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> compressed;
  for (std::size_t pos = sizeof kSignature;;) {
    if (size - pos < 12)
      return false;
    const std::uint32_t length = BigEndian32(data + pos);
    const std::uint8_t* type = data + pos + 4;
    const std::uint8_t* body = type + 4;
    if (length > size - pos - 12 || Crc32(type, length + 4) != BigEndian32(body + length))
      return false;
    pos += 12 + length;
    if (IsType(type, "IHDR")) {
      // First and only once; 8 bits per channel, RGB, deflate, standard filters, no interlace.
      if (width != 0 || length != 13 || pos != sizeof kSignature + 25)
        return false;
      width = BigEndian32(body);
      height = BigEndian32(body + 4);
      if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
          std::memcmp(body + 8, "\x08\x02\x00\x00\x00", 5) != 0) {
        return false;
      }
    } else if (width == 0) {
      return false;
    } else if (IsType(type, "IDAT")) {
      compressed.insert(compressed.end(), body, body + length);
    } else if (IsType(type, "IEND")) {
      break;
    } else if ((type[0] & 0x20) == 0) {
      return false;  // a critical chunk this reader does not know
    }
  }
  const std::size_t stride = kBytesPerPixel * width;
  std::vector<std::uint8_t> rows((stride + 1) * height);
  const Inflated inflated =
      ZlibInflate(compressed.data(), compressed.size(), rows.data(), rows.size());
  if (!inflated.ok || inflated.written != rows.size() ||
      !Unfilter(rows.data(), static_cast<int>(height), stride)) {
    return false;
  }
  const std::size_t padded = (stride + 3) & ~std::size_t{3};
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->bits.assign(padded * height, 0);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* from = rows.data() + y * (stride + 1) + 1;
    std::uint8_t* to = picture->bits.data() + (height - 1 - y) * padded;
    for (std::size_t x = 0; x < stride; x += kBytesPerPixel) {
      to[x] = from[x + 2];
      to[x + 1] = from[x + 1];
      to[x + 2] = from[x];
    }
  }
  return true;
}

}  // namespace cvi::codec
