// The program's own decoders: deflate data as zlib writes it, damaged data, and the product
// picture, which must decode to exactly the pixels of the bitmap the build draws.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codec/Inflate.h"
#include "codec/Png.h"

namespace cvi::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Deflate(const Bytes& data, int level, int strategy, int windowBits) {
  z_stream s{};
  deflateInit2(&s, level, Z_DEFLATED, windowBits, 9, strategy);
  Bytes out(deflateBound(&s, data.size()) + 64);  // the bound falls short for stored data
  s.next_in = const_cast<std::uint8_t*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

Bytes Sample(std::size_t size, bool random) {
  std::mt19937 generator(7);
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i)
    data[i] =
        static_cast<std::uint8_t>(random ? generator() : "the installer, "[i % 15] + i / 5000);
  return data;
}

// Stored, fixed and dynamic blocks, long matches and literals only, raw and zlib-wrapped, as zlib
// writes them.
TEST(Inflate, DecodesWhatZlibWrites) {
  const std::pair<int, int> kinds[] = {{0, Z_DEFAULT_STRATEGY}, {9, Z_FIXED},
                                       {1, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY},
                                       {6, Z_HUFFMAN_ONLY},     {9, Z_RLE}};
  for (bool random : {false, true}) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{300000}}) {
      const Bytes data = Sample(size, random);
      for (const auto& [level, strategy] : kinds) {
        for (int windowBits : {-MAX_WBITS, MAX_WBITS}) {
          SCOPED_TRACE(::testing::Message() << random << " " << size << " " << level << " "
                                            << strategy << " " << windowBits);
          const Bytes packed = Deflate(data, level, strategy, windowBits);
          Bytes out(size);
          const Inflated result = (windowBits < 0 ? Inflate : ZlibInflate)(
              packed.data(), packed.size(), out.data(), out.size());
          EXPECT_TRUE(result.ok);
          EXPECT_EQ(result.read, packed.size());
          EXPECT_EQ(out, data);
        }
      }
    }
  }
}

// Cut short, given too little room, or with a wrong checksum, the data is refused; garbage is
// refused or decoded without a step outside the buffers (which a sanitizer build watches).
TEST(Inflate, RefusesDamage) {
  const Bytes data = Sample(20000, false);
  const Bytes packed = Deflate(data, 9, Z_DEFAULT_STRATEGY, -MAX_WBITS);
  Bytes out(data.size());
  for (std::size_t cut = 0; cut < packed.size(); ++cut)
    EXPECT_FALSE(Inflate(packed.data(), cut, out.data(), out.size()).ok) << cut;
  EXPECT_FALSE(Inflate(packed.data(), packed.size(), out.data(), out.size() - 1).ok);
  Bytes wrapped = Deflate(data, 9, Z_DEFAULT_STRATEGY, MAX_WBITS);
  wrapped.back() ^= 1;
  EXPECT_FALSE(ZlibInflate(wrapped.data(), wrapped.size(), out.data(), out.size()).ok);

  std::mt19937 generator(11);
  for (int round = 0; round < 2000; ++round) {
    Bytes damaged = packed;
    for (int flips = 0; flips < 3; ++flips)
      damaged[generator() % damaged.size()] ^= static_cast<std::uint8_t>(1 << (generator() % 8));
    EXPECT_LE(Inflate(damaged.data(), damaged.size(), out.data(), out.size()).read, damaged.size());
  }
}

// Streams that no encoder writes, made bit by bit (Huffman codes first bit first): a match that
// reaches before the output, a code with more codes than bits, lengths repeated past their end.
TEST(Inflate, RefusesImpossibleStreams) {
  struct Stream {
    Bytes bytes;
    int used = 0;
    Stream& Bits(unsigned value, int n, bool code = false) {
      for (int i = 0; i < n; ++i, ++used) {
        if (used % 8 == 0)
          bytes.push_back(0);
        const unsigned bit = (value >> (code ? n - 1 - i : i)) & 1;
        bytes.back() |= static_cast<std::uint8_t>(bit << (used % 8));
      }
      return *this;
    }
  };
  const Stream matchFirst = Stream().Bits(1, 1).Bits(1, 2).Bits(1, 7, true).Bits(0, 12, true);
  const Stream dynamic = Stream().Bits(1, 1).Bits(2, 2).Bits(0, 14);
  const Stream overSubscribed = Stream(dynamic).Bits(1, 3).Bits(1, 3).Bits(1, 3).Bits(1, 3);
  const Stream repeatedTooFar =
      Stream(dynamic).Bits(0, 6).Bits(9, 6).Bits(1, 1).Bits(127, 7).Bits(1, 1).Bits(127, 7);
  Bytes out(1000);
  for (const Stream* stream : {&matchFirst, &overSubscribed, &repeatedTooFar})
    EXPECT_FALSE(Inflate(stream->bytes.data(), stream->bytes.size(), out.data(), out.size()).ok);
}

// A PNG of `rgb` with `filter` on every row, made the way any encoder would; `header` changes the
// byte of the header at that offset into its value.
Bytes MakePng(int width,
              int height,
              const Bytes& rgb,
              int filter,
              std::pair<std::size_t, std::uint8_t> header = {12, 0}) {
  const std::size_t stride = 3 * width;
  Bytes raw;
  for (std::size_t i = 0; i < stride * height; ++i) {
    if (i % stride == 0)
      raw.push_back(static_cast<std::uint8_t>(filter));
    const int a = i % stride >= 3 ? rgb[i - 3] : 0;
    const int b = i >= stride ? rgb[i - stride] : 0;
    const int c = i % stride >= 3 && i >= stride ? rgb[i - stride - 3] : 0;
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int predicted[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
    raw.push_back(static_cast<std::uint8_t>(rgb[i] - predicted[filter]));
  }
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  const auto chunk = [&png](const char* type, Bytes body) {
    body.insert(body.begin(), type, type + 4);
    const std::uint32_t sizes[] = {static_cast<std::uint32_t>(body.size() - 4),
                                   Crc32(body.data(), body.size())};
    for (int i = 0; i < 4; ++i)
      png.push_back(static_cast<std::uint8_t>(sizes[0] >> (24 - 8 * i)));
    png.insert(png.end(), body.begin(), body.end());
    for (int i = 0; i < 4; ++i)
      png.push_back(static_cast<std::uint8_t>(sizes[1] >> (24 - 8 * i)));
  };
  Bytes ihdr = {0, 0, 0, std::uint8_t(width), 0, 0, 0, std::uint8_t(height), 8, 2, 0, 0, 0};
  if (header.first < ihdr.size())
    ihdr[header.first] = header.second;
  chunk("IHDR", ihdr);
  chunk("tEXt", {'a', 0, 'b'});
  chunk("IDAT", Deflate(raw, 9, Z_DEFAULT_STRATEGY, MAX_WBITS));
  chunk("IEND", {});
  return png;
}

// Every row filter; the rows come out bottom first, blue first, padded to four bytes.
TEST(DecodePng, UndoesEveryFilter) {
  const int width = 15;  // rows of 45 bytes, padded to 48
  const int height = 16;
  Bytes rgb = Sample(3 * width * height, true);
  for (std::uint8_t& v : rgb)
    v &= 7;  // few values: the Paeth predictor meets its ties
  for (int filter = 0; filter <= 4; ++filter) {
    const Bytes png = MakePng(width, height, rgb, filter);
    DibPixels picture;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), &picture)) << filter;
    EXPECT_EQ(picture.width, width);
    EXPECT_EQ(picture.height, height);
    ASSERT_EQ(picture.bits.size(), 48u * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 3 * width; x += 3) {
        const std::uint8_t* dib = &picture.bits[(height - 1 - y) * 48 + x];
        const std::uint8_t* source = &rgb[y * 3 * width + x];
        EXPECT_EQ(Bytes(dib, dib + 3), Bytes({source[2], source[1], source[0]})) << filter;
      }
    }
  }
}

// A changed byte anywhere fails a CRC; a cut-off file is refused, and so are other formats (16
// bits, RGBA, interlaced) and a header that asks for a huge picture.
TEST(DecodePng, RefusesDamageAndOtherFormats) {
  const Bytes good = MakePng(4, 2, Sample(24, true), 4);
  DibPixels picture;
  ASSERT_TRUE(DecodePng(good.data(), good.size(), &picture));
  for (std::size_t i = 0; i < good.size(); ++i) {
    Bytes damaged = good;
    damaged[i] ^= 0x10;
    EXPECT_FALSE(DecodePng(damaged.data(), damaged.size(), &picture)) << "byte " << i;
    EXPECT_FALSE(DecodePng(good.data(), i, &picture)) << "cut at " << i;
  }
  for (const auto& header : {std::make_pair(8, 16), std::make_pair(9, 6), std::make_pair(12, 1),
                             std::make_pair(0, 0x7F)}) {
    const Bytes other = MakePng(4, 2, Sample(24, true), 4, header);
    EXPECT_FALSE(DecodePng(other.data(), other.size(), &picture)) << header.first;
  }
}

// The picture the program carries shows exactly the bitmap's pixels.
TEST(DecodePng, ProductPictureEqualsTheBitmap) {
  const Bytes png = ReadFile(CVI_TEST_RESOURCES_DIR "/Product.png");
  const Bytes bmp = ReadFile(CVI_TEST_RESOURCES_DIR "/Product.bmp");
  ASSERT_EQ(bmp.size(), 182390u);
  DibPixels picture;
  ASSERT_TRUE(DecodePng(png.data(), png.size(), &picture));
  EXPECT_EQ(picture.width, 394);
  EXPECT_EQ(picture.height, 154);
  EXPECT_TRUE(picture.bits == Bytes(bmp.begin() + 54, bmp.end()));
  EXPECT_LT(png.size(), bmp.size() / 10);
}

}  // namespace
}  // namespace cvi::codec
