// The program's own decoders: deflate data as zlib writes it, damaged data, and the product
// picture, which must decode to exactly the pixels of the bitmap the build draws.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
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

// Stored, fixed and dynamic blocks, long matches and literals only, as zlib makes them.
TEST(Inflate, DecodesWhatZlibWrites) {
  struct Case {
    const char* name;
    int level;
    int strategy;
  } const cases[] = {{"stored", 0, Z_DEFAULT_STRATEGY}, {"fixed", 9, Z_FIXED},
                     {"fast", 1, Z_DEFAULT_STRATEGY},   {"best", 9, Z_DEFAULT_STRATEGY},
                     {"literals", 6, Z_HUFFMAN_ONLY},   {"runs", 9, Z_RLE}};
  for (bool random : {false, true}) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{300000}}) {
      const Bytes data = Sample(size, random);
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (random ? " random " : " text ") + std::to_string(size));
        const Bytes packed = Deflate(data, c.level, c.strategy, -MAX_WBITS);
        Bytes out(size);
        const Inflated raw = Inflate(packed.data(), packed.size(), out.data(), out.size());
        EXPECT_TRUE(raw.ok);
        EXPECT_EQ(raw.read, packed.size());
        EXPECT_EQ(out, data);

        const Bytes wrapped = Deflate(data, c.level, c.strategy, MAX_WBITS);
        std::fill(out.begin(), out.end(), 0);
        const Inflated zlib = ZlibInflate(wrapped.data(), wrapped.size(), out.data(), out.size());
        EXPECT_TRUE(zlib.ok);
        EXPECT_EQ(zlib.read, wrapped.size());
        EXPECT_EQ(out, data);
      }
    }
  }
}

// Cut short, given too little room, or with a wrong checksum, the data is refused; garbage is
// refused or decoded without a step outside the buffers (which the sanitizer builds watch).
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
    const Inflated result = Inflate(damaged.data(), damaged.size(), out.data(), out.size());
    EXPECT_LE(result.written, out.size());
    EXPECT_LE(result.read, damaged.size());
  }
}

// Streams that no encoder writes, made bit by bit: a match that reaches before the output, a code
// with more codes than bits, lengths repeated past their end.
TEST(Inflate, RefusesImpossibleStreams) {
  struct Stream {
    Bytes bytes;
    int used = 0;
    Stream& Bits(unsigned value, int n) {
      for (int i = 0; i < n; ++i, ++used) {
        if (used % 8 == 0)
          bytes.push_back(0);
        bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1) << (used % 8));
      }
      return *this;
    }
    Stream& Code(unsigned code, int n) {  // Huffman codes go first bit first
      for (int i = n - 1; i >= 0; --i)
        Bits(code >> i, 1);
      return *this;
    }
  };
  const Stream fixedMatchFirst = Stream().Bits(1, 1).Bits(1, 2).Code(1, 7).Code(0, 5).Code(0, 7);
  const Stream dynamicHeader = Stream().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4);
  const Stream overSubscribed = Stream(dynamicHeader).Bits(1, 3).Bits(1, 3).Bits(1, 3).Bits(1, 3);
  const Stream repeatedTooFar = Stream(dynamicHeader)
                                    .Bits(0, 3)
                                    .Bits(0, 3)
                                    .Bits(1, 3)
                                    .Bits(1, 3)
                                    .Code(1, 1)
                                    .Bits(127, 7)
                                    .Code(1, 1)
                                    .Bits(127, 7);
  Bytes out(1000);
  for (const Stream* stream : {&fixedMatchFirst, &overSubscribed, &repeatedTooFar})
    EXPECT_FALSE(Inflate(stream->bytes.data(), stream->bytes.size(), out.data(), out.size()).ok);
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("56789", 5, Crc32("1234", 4)), 0xCBF43926u);
}

// A PNG with the given filter on every row, made the way any encoder would.
Bytes MakePng(int width, int height, const Bytes& rgb, std::uint8_t filter) {
  const std::size_t stride = 3 * width;
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(filter);
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= 3 ? rgb[y * stride + i - 3] : 0;
      const int b = y > 0 ? rgb[(y - 1) * stride + i] : 0;
      const int c = y > 0 && i >= 3 ? rgb[(y - 1) * stride + i - 3] : 0;
      const int p = a + b - c;
      const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                        : std::abs(p - b) <= std::abs(p - c)                                     ? b
                                                             : c;
      const int predicted[] = {0, a, b, (a + b) / 2, paeth};
      raw.push_back(static_cast<std::uint8_t>(rgb[y * stride + i] - predicted[filter]));
    }
  }
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  const auto put32 = [&png](std::uint32_t v) {
    png.insert(png.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                           std::uint8_t(v)});
  };
  const auto chunk = [&](const char* type, const Bytes& body) {
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    put32(static_cast<std::uint32_t>(body.size()));
    png.insert(png.end(), typed.begin(), typed.end());
    put32(Crc32(typed.data(), typed.size()));
  };
  chunk("IHDR", {0, 0, 0, std::uint8_t(width), 0, 0, 0, std::uint8_t(height), 8, 2, 0, 0, 0});
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
  for (std::uint8_t filter = 0; filter <= 4; ++filter) {
    SCOPED_TRACE(int(filter));
    const Bytes png = MakePng(width, height, rgb, filter);
    DibPixels picture;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), &picture));
    EXPECT_EQ(picture.width, width);
    EXPECT_EQ(picture.height, height);
    ASSERT_EQ(picture.bits.size(), 48u * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* dib = &picture.bits[(height - 1 - y) * 48 + 3 * x];
        const std::uint8_t* source = &rgb[(y * width + x) * 3];
        EXPECT_EQ(Bytes(dib, dib + 3), Bytes({source[2], source[1], source[0]}));
      }
    }
  }
}

// A changed byte anywhere fails a CRC; a cut-off file, a format it does not read or a header that
// asks for a huge picture is refused.
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
  const auto withHeader = [&good](std::size_t at, std::uint8_t value) {
    Bytes changed = good;
    changed[at] = value;
    const std::uint32_t crc = Crc32(&changed[12], 17);
    for (int i = 0; i < 4; ++i)
      changed[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return changed;
  };
  for (const Bytes& other :
       {withHeader(24, 16), withHeader(25, 6), withHeader(28, 1), withHeader(16, 0x7F)}) {
    EXPECT_FALSE(DecodePng(other.data(), other.size(), &picture));
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
