// The archive reader: a tree round trip, refused names, damaged archives; nothing written on
// refusal.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ZipArchive.h"

namespace cvi::sfx {
namespace {

struct Item {
  std::string name;
  std::string data;
};

// A zip written by hand, so that any field can be broken; remembers where its records are.
struct Zip {
  std::string bytes;
  std::vector<std::size_t> local, central;
  std::size_t end = 0;

  void Put16(std::size_t at, unsigned v) { bytes[at] = char(v), bytes[at + 1] = char(v >> 8); }
  void Put32(std::size_t at, unsigned long v) { Put16(at, v & 0xFFFF), Put16(at + 2, v >> 16); }
  unsigned long Get32(std::size_t at) const {
    unsigned long v = 0;
    for (int i = 3; i >= 0; --i)
      v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  }
};

void Append(std::string& out, std::initializer_list<unsigned long> values, int width) {
  for (unsigned long v : values)
    for (int i = 0; i < width; ++i)
      out += char(v >> (8 * i));
}

std::string Deflate(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, data.size()), '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = data.size();
  s.next_out = reinterpret_cast<Bytef*>(&out[0]);
  s.avail_out = out.size();
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// `stub` comes first; offsets count from the file's start or, like a plain concatenation, from
// the archive's.
Zip Build(const std::vector<Item>& items,
          const std::string& stub,
          bool deflate,
          bool fileRelative) {
  Zip zip;
  zip.bytes = stub;
  const std::size_t base = fileRelative ? 0 : stub.size();
  std::string directory;
  for (const Item& item : items) {
    const std::string packed = deflate ? Deflate(item.data) : item.data;
    const unsigned long crc =
        crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), item.data.size());
    const unsigned method = deflate ? 8 : 0;
    zip.local.push_back(zip.bytes.size());
    Append(zip.bytes, {0x04034b50}, 4);
    Append(zip.bytes, {20, 0, method, 0, 0x21}, 2);
    Append(zip.bytes, {crc, packed.size(), item.data.size()}, 4);
    Append(zip.bytes, {item.name.size(), 0}, 2);
    zip.bytes += item.name + packed;
    Append(directory, {0x02014b50}, 4);
    Append(directory, {20, 20, 0, method, 0, 0x21}, 2);
    Append(directory, {crc, packed.size(), item.data.size()}, 4);
    Append(directory, {item.name.size(), 0, 0, 0, 0}, 2);
    Append(directory, {0, zip.local.back() - base}, 4);
    directory += item.name;
  }
  const std::size_t start = zip.bytes.size();
  for (std::size_t at = 0, i = 0; i < items.size(); ++i) {
    zip.central.push_back(start + at);
    at += 46 + items[i].name.size();
  }
  zip.bytes += directory;
  zip.end = zip.bytes.size();
  Append(zip.bytes, {0x06054b50}, 4);
  Append(zip.bytes, {0, 0, items.size(), items.size()}, 2);
  Append(zip.bytes, {directory.size(), start - base}, 4);
  Append(zip.bytes, {0}, 2);
  return zip;
}

// Records what the archive asks for, in order.
struct MemorySink : ZipSink {
  std::vector<std::string> calls;
  std::map<std::string, std::string> files;
  ZipResult CreateFolder(const std::string& name) override {
    calls.push_back("folder " + name);
    return {};
  }
  ZipResult WriteFile(const std::string& name, const std::string& data) override {
    calls.push_back("file " + name);
    files[name] = data;
    return {};
  }
};

struct Extracted {
  ZipResult result;
  MemorySink sink;
};

Extracted OpenAndExtract(const std::string& bytes) {
  Extracted out;
  ZipArchive archive;
  out.result = archive.Open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  const ZipResult extracted = archive.ExtractAll(out.sink);
  if (out.result.ok())
    out.result = extracted;
  return out;
}

std::string Noise(std::size_t size) {
  std::string data(size, '\0');
  unsigned long x = 12345;
  for (char& c : data)
    c = char((x = x * 1103515245 + 12345) >> 16);
  return data;
}

// The stub's own bytes may hold an end-record signature by chance.
const std::string kStub = std::string("MZ stub ") + "PK\x05\x06" + std::string(40, '\0');

const std::vector<Item> kTree = {
    {"CelvaraStudio.exe", "MZ" + Noise(3000)},
    {"Docs/", ""},
    {"Charts/Single/Natal.chr", std::string(5000, 'x')},
    {"Charts\\Dual\\Synastry.chr", "two\r\ncharts\r\n"},
    {"empty.txt", ""},
    {"Ephem/Moon.eph", Noise(200000)},
};

TEST(ZipArchive, TreeRoundTrip) {
  for (const bool deflate : {true, false}) {
    for (const bool fileRelative : {true, false}) {
      SCOPED_TRACE(testing::Message()
                   << "deflate " << deflate << ", file-relative " << fileRelative);
      const Extracted out = OpenAndExtract(Build(kTree, kStub, deflate, fileRelative).bytes);
      ASSERT_TRUE(out.result.ok()) << out.result.message;
      const std::map<std::string, std::string> expected = {
          {"CelvaraStudio.exe", kTree[0].data},
          {"Charts/Single/Natal.chr", kTree[2].data},
          {"Charts/Dual/Synastry.chr", kTree[3].data},
          {"empty.txt", ""},
          {"Ephem/Moon.eph", kTree[5].data}};
      EXPECT_EQ(out.sink.files, expected);
      const std::vector<std::string> calls = {"file CelvaraStudio.exe",
                                              "folder Docs",
                                              "folder Charts",
                                              "folder Charts/Single",
                                              "file Charts/Single/Natal.chr",
                                              "folder Charts/Dual",
                                              "file Charts/Dual/Synastry.chr",
                                              "file empty.txt",
                                              "folder Ephem",
                                              "file Ephem/Moon.eph"};
      EXPECT_EQ(out.sink.calls, calls);
    }
  }
}

TEST(ZipArchive, EntryNames) {
  struct Row {
    std::string raw, normalised;  // "" when refused
  };
  const Row rows[] = {
      {"../x", ""},
      {"a/../../x", ""},
      {"C:/x", ""},
      {"c:x", ""},
      {"/abs", ""},
      {"\\\\server\\x", ""},
      {"a\\..\\..\\x", ""},
      {"a/./b", ""},
      {"a//b", ""},
      {"x.", ""},
      {"a/.. /b", ""},
      {"CON", ""},
      {"Charts/lpt1.txt", ""},
      {"a:stream", ""},
      {"a\tb", ""},
      {"caf\xc3\xa9", ""},
      {"a/b.txt", "a/b.txt"},
      {"a\\b.txt", "a/b.txt"},
      {"console.txt", "console.txt"},
      {".hidden", ".hidden"},
      {"dir/", "dir"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.raw);
    const Extracted out =
        OpenAndExtract(Build({{"good.txt", "g"}, {row.raw, ""}}, "", true, true).bytes);
    if (row.normalised.empty()) {
      EXPECT_EQ(out.result.status, ZipStatus::UnsafeName);
      EXPECT_TRUE(out.sink.calls.empty()) << "something was written";
    } else {
      EXPECT_TRUE(out.result.ok()) << out.result.message;
      EXPECT_EQ(out.sink.calls.back(),
                (row.raw.back() == '/' ? "folder " : "file ") + row.normalised);
    }
  }
}

TEST(ZipArchive, DamagedArchivesAreReportedAndNothingIsWritten) {
  struct Row {
    const char* name;
    std::function<void(Zip&)> damage;
    ZipStatus status;
  };
  const Row rows[] = {
      {"nothing appended", [](Zip& z) { z.bytes = kStub; }, ZipStatus::NoArchive},
      {"end record cut off", [](Zip& z) { z.bytes.resize(z.bytes.size() - 1); },
       ZipStatus::NoArchive},
      {"cut in the data", [](Zip& z) { z.bytes.resize(z.local[5] + 100); }, ZipStatus::NoArchive},
      {"directory garbled", [](Zip& z) { z.bytes[z.central[2]] = 'X'; }, ZipStatus::Damaged},
      {"directory offset wrong", [](Zip& z) { z.Put32(z.end + 16, 7); }, ZipStatus::Damaged},
      {"directory larger than the file", [](Zip& z) { z.Put32(z.end + 12, 1u << 30); },
       ZipStatus::Damaged},
      {"entry count wrong", [](Zip& z) { z.Put16(z.end + 8, 5), z.Put16(z.end + 10, 5); },
       ZipStatus::Damaged},
      {"bad CRC", [](Zip& z) { z.bytes[z.central[5] + 16] ^= 1; }, ZipStatus::Damaged},
      {"flipped data byte", [](Zip& z) { z.bytes[z.local[5] + 60] ^= 0x55; }, ZipStatus::Damaged},
      {"size larger than the data", [](Zip& z) { z.Put32(z.central[2] + 24, 5001); },
       ZipStatus::Damaged},
      {"size smaller than the data", [](Zip& z) { z.Put32(z.central[2] + 24, 4999); },
       ZipStatus::Damaged},
      {"compressed size past the stream's end",
       [](Zip& z) { z.Put32(z.central[2] + 20, z.Get32(z.central[2] + 20) + 1); },
       ZipStatus::Damaged},
      {"compressed size beyond the directory", [](Zip& z) { z.Put32(z.central[5] + 20, 1u << 24); },
       ZipStatus::Damaged},
      {"local name differs", [](Zip& z) { z.bytes[z.local[4] + 30] = 'E'; }, ZipStatus::Damaged},
      {"local header missing", [](Zip& z) { z.bytes[z.local[4]] = 'X'; }, ZipStatus::Damaged},
      {"entry too large", [](Zip& z) { z.Put32(z.central[5] + 24, kMaxEntrySize + 1); },
       ZipStatus::TooLarge},
      {"unknown method",
       [](Zip& z) { z.Put16(z.central[5] + 10, 12), z.Put16(z.local[5] + 8, 12); },
       ZipStatus::Unsupported},
      {"encrypted", [](Zip& z) { z.Put16(z.central[1] + 8, 1); }, ZipStatus::Unsupported},
      {"zip64", [](Zip& z) { z.Put32(z.end + 16, 0xFFFFFFFF); }, ZipStatus::Unsupported},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Zip zip = Build(kTree, kStub, true, true);
    row.damage(zip);
    const Extracted out = OpenAndExtract(zip.bytes);
    EXPECT_EQ(out.result.status, row.status) << out.result.message;
    EXPECT_FALSE(out.result.message.empty());
    EXPECT_TRUE(out.sink.calls.empty()) << "something was written";
  }
}

// A program header whose security directory a signature fills in, followed by the archive.
constexpr std::size_t kSecurityEntry = 0x40 + 24 + 96 + 4 * 8;
std::string PeStub() {
  std::string stub(0x40 + 24 + 224, '\0');
  stub[0] = 'M', stub[1] = 'Z', stub[0x3C] = 0x40;
  stub.replace(0x40, 4, std::string("PE\0\0", 4));
  stub[0x40 + 20] = char(224);
  stub[0x40 + 24] = 0x0B, stub[0x40 + 25] = 0x01;
  stub[0x40 + 24 + 92] = 16;
  return stub + kStub;
}

// What a signer does: pads the file to eight bytes, appends the certificate table and names it in
// the security directory.
void Sign(Zip& zip, const std::string& table) {
  zip.bytes.append((8 - zip.bytes.size() % 8) % 8, '\0');
  zip.Put32(kSecurityEntry, zip.bytes.size());
  zip.Put32(kSecurityEntry + 4, table.size());
  zip.bytes += table;
}

TEST(ZipArchive, SignedPackages) {
  // The table may hold an end-record signature by chance, like the stub.
  const std::string table = Noise(3000) + "PK\x05\x06" + std::string(40, '\0');
  struct Row {
    const char* name;
    std::size_t padding;  // bytes the signer adds after the archive
    std::function<void(Zip&)> change;
    ZipStatus status;
  };
  const std::vector<Row> rows = {
      {"padded", 3, [](Zip&) {}, ZipStatus::Ok},
      {"no padding", 0, [](Zip&) {}, ZipStatus::Ok},
      {"padding not zero", 3, [](Zip& z) { z.bytes[z.Get32(kSecurityEntry) - 1] = 'x'; },
       ZipStatus::NoArchive},
      {"table short of the end", 3, [](Zip& z) { z.bytes += "extra"; }, ZipStatus::NoArchive},
      {"table past the end", 3, [](Zip& z) { z.Put32(kSecurityEntry + 4, z.bytes.size()); },
       ZipStatus::NoArchive},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Zip zip = Build(kTree, PeStub(), true, true);
    // A comment lengthens the archive so that the signer pads as many bytes as the row says.
    const std::size_t comment = (16 - row.padding - zip.bytes.size() % 8) % 8;
    zip.bytes.append(comment, ' ');
    zip.Put16(zip.end + 20, comment);
    Sign(zip, table);
    row.change(zip);
    const Extracted out = OpenAndExtract(zip.bytes);
    EXPECT_EQ(out.result.status, row.status) << out.result.message;
    EXPECT_EQ(out.sink.files.size(), row.status == ZipStatus::Ok ? 5u : 0u);
  }
}

TEST(ZipArchive, NamesThatClashAreRefused) {
  for (const auto& second : {"a.txt", "A.TXT", "a.txt/b", "a.txt\\"}) {
    SCOPED_TRACE(second);
    const Extracted out =
        OpenAndExtract(Build({{"a.txt", "1"}, {second, ""}}, "", true, true).bytes);
    EXPECT_EQ(out.result.status, ZipStatus::UnsafeName);
    EXPECT_TRUE(out.sink.calls.empty());
  }
}

}  // namespace
}  // namespace cvi::sfx
