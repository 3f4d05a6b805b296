// Decompression of deflate data with canonical Huffman codes read bit by bit: small, and fast
// enough for a picture and a package of a few megabytes; every length and distance is checked
// against the buffers before it is used.
#include "codec/Inflate.h"

#include <array>
#include <cstring>

namespace cvi::codec {
namespace {

constexpr int kMaxBits = 15;
constexpr int kMaxSymbols = 288;

class BitReader {
 public:
  BitReader(const std::uint8_t* in, std::size_t size) : in_(in), size_(size) {}

  // The next `n` (at most 16) bits, first bit lowest. Past the end of the input it gives zero bits
  // and remembers that it ran out.
  unsigned Bits(int n) {
    while (count_ < n) {
      if (pos_ == size_) {
        overrun_ = true;
        return 0;
      }
      buffer_ |= static_cast<std::uint32_t>(in_[pos_++]) << count_;
      count_ += 8;
    }
    const unsigned value = buffer_ & ((1u << n) - 1);
    buffer_ >>= n;
    count_ -= n;
    return value;
  }

  // Fewer than eight bits are ever held, all of the byte last read: dropping them aligns.
  void AlignToByte() {
    buffer_ = 0;
    count_ = 0;
  }

  bool Overrun() const { return overrun_; }
  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return size_ - pos_; }
  const std::uint8_t* Here() const { return in_ + pos_; }
  void Skip(std::size_t bytes) { pos_ += bytes; }

 private:
  const std::uint8_t* in_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::uint32_t buffer_ = 0;
  int count_ = 0;
  bool overrun_ = false;
};

struct Output {
  std::uint8_t* out;
  std::size_t room;
  std::size_t pos = 0;
};

// A canonical code: how many codes there are of each length, and the symbols in code order.
struct Huffman {
  std::uint16_t count[kMaxBits + 1];
  std::uint16_t symbol[kMaxSymbols];
};

// Builds the code for `n` symbols from their code lengths (0: unused). Answers 0 for a complete
// code, more than 0 for an incomplete one and less than 0 for lengths that cannot form a code.
int Build(Huffman& h, const std::uint8_t* lengths, int n) {
  std::memset(h.count, 0, sizeof h.count);
  for (int i = 0; i < n; ++i)
    ++h.count[lengths[i]];
  if (h.count[0] == n)
    return 0;
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = (left << 1) - h.count[len];
    if (left < 0)
      return left;
  }
  std::uint16_t offsets[kMaxBits + 1] = {};
  for (int len = 1; len < kMaxBits; ++len)
    offsets[len + 1] = offsets[len] + h.count[len];
  for (int i = 0; i < n; ++i) {
    if (lengths[i] != 0)
      h.symbol[offsets[lengths[i]]++] = static_cast<std::uint16_t>(i);
  }
  return left;
}

// The next symbol, or -1 for a code that the table does not hold.
int Decode(BitReader& in, const Huffman& h) {
  int code = 0;
  int first = 0;
  int index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    code |= static_cast<int>(in.Bits(1));
    const int count = h.count[len];
    if (code - count < first)
      return h.symbol[index + (code - first)];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool Codes(BitReader& in, Output& out, const Huffman& lengths, const Huffman& distances) {
  for (;;) {
    int symbol = Decode(in, lengths);
    if (symbol < 0 || in.Overrun())
      return false;
    if (symbol < 256) {
      if (out.pos == out.room)
        return false;
      out.out[out.pos++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    if (symbol == 256)
      return true;
    symbol -= 257;
    if (symbol >= 29)
      return false;
    const std::size_t length = kLengthBase[symbol] + in.Bits(kLengthExtra[symbol]);
    const int d = Decode(in, distances);
    if (d < 0 || d >= 30)
      return false;
    const std::size_t distance = kDistanceBase[d] + in.Bits(kDistanceExtra[d]);
    if (in.Overrun() || distance > out.pos || length > out.room - out.pos)
      return false;
    // Byte by byte: the copy may overlap what it writes.
    const std::uint8_t* from = out.out + out.pos - distance;
    for (std::size_t i = 0; i < length; ++i)
      out.out[out.pos + i] = from[i];
    out.pos += length;
  }
}

bool Stored(BitReader& in, Output& out) {
  in.AlignToByte();
  if (in.Left() < 4)
    return false;
  const std::uint8_t* header = in.Here();
  const unsigned length = header[0] | header[1] << 8;
  const unsigned complement = header[2] | header[3] << 8;
  in.Skip(4);
  if (length != (~complement & 0xFFFFu) || length > in.Left() || length > out.room - out.pos)
    return false;
  std::memcpy(out.out + out.pos, in.Here(), length);
  in.Skip(length);
  out.pos += length;
  return true;
}

bool Fixed(BitReader& in, Output& out) {
  std::uint8_t lengths[kMaxSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  Huffman literals;
  Build(literals, lengths, kMaxSymbols);
  std::memset(lengths, 5, 30);
  Huffman distances;
  Build(distances, lengths, 30);
  return Codes(in, out, literals, distances);
}

// An incomplete code is allowed only where it holds a single code.
bool Usable(int built, const Huffman& h, int n) {
  return built == 0 || (built > 0 && n - h.count[0] == 1);
}

bool Dynamic(BitReader& in, Output& out) {
  static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
  const int literalCount = static_cast<int>(in.Bits(5)) + 257;
  const int distanceCount = static_cast<int>(in.Bits(5)) + 1;
  const int lengthCodeCount = static_cast<int>(in.Bits(4)) + 4;
  if (literalCount > 286 || distanceCount > 30)
    return false;
  std::uint8_t lengths[286 + 30] = {};
  for (int i = 0; i < lengthCodeCount; ++i)
    lengths[kOrder[i]] = static_cast<std::uint8_t>(in.Bits(3));
  Huffman code;
  if (Build(code, lengths, 19) != 0)
    return false;
  const int total = literalCount + distanceCount;
  for (int index = 0; index < total;) {
    const int symbol = Decode(in, code);
    if (symbol < 0 || in.Overrun())
      return false;
    if (symbol < 16) {
      lengths[index++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t repeated = 0;
    int times;
    if (symbol == 16) {
      if (index == 0)
        return false;
      repeated = lengths[index - 1];
      times = 3 + static_cast<int>(in.Bits(2));
    } else if (symbol == 17) {
      times = 3 + static_cast<int>(in.Bits(3));
    } else {
      times = 11 + static_cast<int>(in.Bits(7));
    }
    if (times > total - index)
      return false;
    std::memset(lengths + index, repeated, static_cast<std::size_t>(times));
    index += times;
  }
  if (lengths[256] == 0)
    return false;
  Huffman literals;
  Huffman distances;
  return Usable(Build(literals, lengths, literalCount), literals, literalCount) &&
         Usable(Build(distances, lengths + literalCount, distanceCount), distances,
                distanceCount) &&
         Codes(in, out, literals, distances);
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  while (size > 0) {
    // The largest run whose sums cannot overflow before they are reduced.
    std::size_t run = size < 5552 ? size : 5552;
    size -= run;
    for (; run > 0; --run) {
      a += *data++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  return b << 16 | a;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

Inflated Inflate(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t room) {
  BitReader reader(in, size);
  Output output{out, room};
  Inflated result;
  for (bool last = false; !last;) {
    last = reader.Bits(1) != 0;
    const unsigned type = reader.Bits(2);
    const bool fine = !reader.Overrun() && (type == 0   ? Stored(reader, output)
                                            : type == 1 ? Fixed(reader, output)
                                            : type == 2 ? Dynamic(reader, output)
                                                        : false);
    if (!fine) {
      result.written = output.pos;
      return result;
    }
  }
  result.ok = true;
  result.read = reader.Position();
  result.written = output.pos;
  return result;
}

Inflated ZlibInflate(const std::uint8_t* in,
                     std::size_t size,
                     std::uint8_t* out,
                     std::size_t room) {
  Inflated result;
  // Deflate with a window of at most 32 KB, a header that checks out, and no preset dictionary.
  if (size < 6 || (in[0] & 0x0F) != 8 || (in[0] >> 4) > 7 || (in[0] << 8 | in[1]) % 31 != 0 ||
      (in[1] & 0x20) != 0) {
    return result;
  }
  result = Inflate(in + 2, size - 2, out, room);
  const std::size_t end = 2 + result.read;
  if (!result.ok || size - end < 4) {
    result.ok = false;
    return result;
  }
  const std::uint32_t stated = static_cast<std::uint32_t>(in[end]) << 24 | in[end + 1] << 16 |
                               in[end + 2] << 8 | in[end + 3];
  result.ok = stated == Adler32(out, result.written);
  result.read = end + 4;
  return result;
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i)
    crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace cvi::codec
