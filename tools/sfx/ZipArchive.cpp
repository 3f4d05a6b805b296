// Reading the zip archive that follows the self-extractor stub.
#include "ZipArchive.h"

#include <algorithm>
#include <map>
#include <set>

#include "codec/Inflate.h"

namespace cvi::sfx {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kEncryptedFlag = 1;
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::size_t kPeHeaderSize = 24;           // the signature and the file header
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kSecurityDirectory = 4;
// Deflate cannot expand data by more than this factor; more means the sizes lie.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

std::uint16_t U16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

ZipResult Fail(ZipStatus status, std::string message) {
  return ZipResult{status, std::move(message)};
}

ZipResult Damaged(const std::string& what) {
  return Fail(ZipStatus::Damaged, "The archive is damaged: " + what + ".");
}

// Where the archive must end: a signed package carries its certificate table after the archive.
// The program's security directory gives the table's file offset and size, and the table always
// runs to the end of the file; the signer pads what lies before it to a multiple of eight bytes.
std::size_t ArchiveLimit(const unsigned char* bytes, std::size_t size, std::size_t* padding) {
  *padding = 0;
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
    return size;
  const std::size_t pe = U32(bytes + 0x3C);
  if (pe > size - kPeHeaderSize || U32(bytes + pe) != kPeSignature)
    return size;
  const std::size_t optional = pe + kPeHeaderSize;
  const std::size_t optionalSize = U16(bytes + pe + 20);
  if (optionalSize < 2 || optionalSize > size - optional)
    return size;
  std::size_t directories = 0;
  switch (U16(bytes + optional)) {
    case kPe32Magic:
      directories = 96;
      break;
    case kPe32PlusMagic:
      directories = 112;
      break;
    default:
      return size;
  }
  const std::size_t entry = directories + 8 * kSecurityDirectory;
  if (optionalSize < entry + 8 || U32(bytes + optional + directories - 4) <= kSecurityDirectory) {
    return size;
  }
  const std::uint32_t start = U32(bytes + optional + entry);
  const std::uint32_t length = U32(bytes + optional + entry + 4);
  if (length == 0 || start > size || size - start != length)
    return size;
  *padding = 7;
  return start;
}

// A name as the user can read it, whatever bytes the archive holds.
std::string Quoted(std::string name) {
  for (char& c : name) {
    if (c < 0x20 || c > 0x7E)
      c = '?';
  }
  return "\"" + name + "\"";
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Names Windows keeps for devices, in any folder and with any extension.
bool IsDeviceName(const std::string& segment) {
  const std::string base = Lower(segment.substr(0, segment.find('.')));
  static const std::set<std::string> kDevices = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  if (kDevices.count(base) != 0)
    return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

// Each proper parent of `name`: "a/b/c" gives "a" and "a/b".
std::vector<std::string> Parents(const std::string& name) {
  std::vector<std::string> parents;
  for (std::size_t slash = name.find('/'); slash != std::string::npos;
       slash = name.find('/', slash + 1)) {
    parents.push_back(name.substr(0, slash));
  }
  return parents;
}

// Two entries must not claim one path, as two files or as a file and a folder; Windows folds case.
ZipResult CheckNoClashes(const std::vector<ZipEntry>& entries) {
  std::map<std::string, bool> taken;  // lower-cased path -> is a folder
  auto claim = [&taken](const std::string& path, bool isFolder) {
    const auto [it, inserted] = taken.emplace(Lower(path), isFolder);
    return inserted || (isFolder && it->second);
  };
  for (const ZipEntry& entry : entries) {
    bool fine = true;
    for (const std::string& parent : Parents(entry.name))
      fine = claim(parent, true) && fine;
    fine = claim(entry.name, entry.isFolder) && fine;
    if (!fine) {
      return Fail(ZipStatus::UnsafeName,
                  "The entry " + Quoted(entry.name) + " clashes with another entry of that name.");
    }
  }
  return {};
}

}  // namespace

bool NormaliseEntryName(const std::string& raw, std::string* normalised, bool* isFolder) {
  if (raw.empty() || raw[0] == '/' || raw[0] == '\\')
    return false;
  const char last = raw.back();
  *isFolder = last == '/' || last == '\\';
  const std::string path = *isFolder ? raw.substr(0, raw.size() - 1) : raw;
  std::string name;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t stop = path.find_first_of("/\\", start);
    if (stop == std::string::npos)
      stop = path.size();
    const std::string segment = path.substr(start, stop - start);
    // Windows drops trailing dots and spaces, so "..", ". " and "x." all count as unsafe here.
    if (segment.empty() || segment.back() == '.' || segment.back() == ' ' || IsDeviceName(segment))
      return false;
    // Printable ASCII only, without the characters Windows gives a meaning (":" would name a
    // drive or a stream).
    for (const char c : segment) {
      if (c < 0x20 || c > 0x7E || std::string(":*?\"<>|").find(c) != std::string::npos)
        return false;
    }
    name += (name.empty() ? "" : "/") + segment;
    start = stop + 1;
  }
  *normalised = name;
  return true;
}

ZipResult ZipArchive::Open(const unsigned char* bytes, std::size_t size) {
  bytes_ = bytes;
  size_ = size;
  entries_.clear();
  ZipResult result = Parse();
  if (!result.ok())
    entries_.clear();  // a refused archive offers nothing to extract
  return result;
}

ZipResult ZipArchive::Parse() {
  const unsigned char* bytes = bytes_;
  std::size_t padding = 0;
  const std::size_t size = ArchiveLimit(bytes_, size_, &padding);
  if (size < kEndSize)
    return Fail(ZipStatus::NoArchive, "No archive is attached.");

  // The last end record whose comment runs exactly to the archive's end, or to zero padding
  // before a signature; the stub's own bytes before it may contain the signature by chance.
  std::size_t end = std::string::npos;
  const std::size_t lowest =
      size - kEndSize > kMaxCommentSize + padding ? size - kEndSize - kMaxCommentSize - padding : 0;
  for (std::size_t pos = size - kEndSize + 1; pos-- > lowest;) {
    const std::size_t recordEnd = pos + kEndSize + U16(bytes + pos + 20);
    if (U32(bytes + pos) == kEndSignature && recordEnd <= size && size - recordEnd <= padding &&
        std::all_of(bytes + recordEnd, bytes + size, [](unsigned char b) { return b == 0; })) {
      end = pos;
      break;
    }
  }
  if (end == std::string::npos)
    return Fail(ZipStatus::NoArchive, "No archive is attached, or its end is missing.");

  const unsigned char* record = bytes + end;
  const std::uint16_t count = U16(record + 10);
  const std::uint32_t directorySize = U32(record + 12);
  const std::uint32_t directoryOffset = U32(record + 16);
  if ((end >= 20 && U32(bytes + end - 20) == kZip64LocatorSignature) || count == 0xFFFF ||
      directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) {
    return Fail(ZipStatus::Unsupported,
                "The archive is in the zip64 format, which is not supported.");
  }
  if (U16(record + 4) != 0 || U16(record + 6) != 0 || U16(record + 8) != count)
    return Fail(ZipStatus::Unsupported, "Archives split over several parts are not supported.");
  if (count == 0)
    return Fail(ZipStatus::NoArchive, "The archive holds no files.");
  if (directorySize > end || directoryOffset > end - directorySize)
    return Damaged("its central directory lies outside the file");

  // The directory sits right before the end record. Its stored offset counts from the start of
  // the archive or from the start of the file; the difference places every local header.
  const std::size_t directory = end - directorySize;
  const std::size_t base = directory - directoryOffset;

  std::uint64_t total = 0;
  std::size_t pos = directory;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (end - pos < kCentralSize || U32(bytes + pos) != kCentralSignature)
      return Damaged("its central directory is garbled");
    const unsigned char* central = bytes + pos;
    const std::size_t nameSize = U16(central + 28);
    const std::size_t recordSize = kCentralSize + nameSize + U16(central + 30) + U16(central + 32);
    if (end - pos < recordSize)
      return Damaged("its central directory is garbled");
    const std::string raw(reinterpret_cast<const char*>(central + kCentralSize), nameSize);
    pos += recordSize;

    ZipEntry entry;
    if (!NormaliseEntryName(raw, &entry.name, &entry.isFolder)) {
      return Fail(ZipStatus::UnsafeName, "The entry " + Quoted(raw) +
                                             " is refused: its name points outside the " +
                                             "destination folder or cannot be used on Windows.");
    }
    entry.method = U16(central + 10);
    entry.crc = U32(central + 16);
    entry.compressedSize = U32(central + 20);
    entry.size = U32(central + 24);
    const std::string named = " of " + Quoted(entry.name);
    if ((U16(central + 8) & kEncryptedFlag) != 0)
      return Fail(ZipStatus::Unsupported, "The entry " + Quoted(entry.name) + " is encrypted.");
    if (entry.method != kStored && entry.method != kDeflated) {
      return Fail(ZipStatus::Unsupported, "The entry " + Quoted(entry.name) +
                                              " uses a compression method that is not supported.");
    }
    if (entry.size > kMaxEntrySize || (total += entry.size) > kMaxTotalSize) {
      return Fail(ZipStatus::TooLarge,
                  "The entry " + Quoted(entry.name) + " is larger than this program accepts.");
    }
    if ((entry.method == kStored && entry.compressedSize != entry.size) ||
        (entry.method == kDeflated &&
         entry.size > std::uint64_t{entry.compressedSize} * kMaxDeflateRatio) ||
        (entry.isFolder && entry.size != 0)) {
      return Damaged("the sizes" + named + " do not match");
    }

    const std::uint32_t localOffset = U32(central + 42);
    if (localOffset > directory - base || directory - base - localOffset < kLocalSize ||
        U32(bytes + base + localOffset) != kLocalSignature) {
      return Damaged("the local header" + named + " is missing");
    }
    const unsigned char* local = bytes + base + localOffset;
    const std::size_t localNameSize = U16(local + 26);
    const std::size_t headerSize = kLocalSize + localNameSize + U16(local + 28);
    const std::size_t room = directory - base - localOffset;
    if (headerSize > room || entry.compressedSize > room - headerSize ||
        raw != std::string(reinterpret_cast<const char*>(local + kLocalSize), localNameSize) ||
        U16(local + 8) != entry.method) {
      return Damaged("the local header" + named + " does not match its directory entry");
    }
    entry.dataOffset = base + localOffset + headerSize;
    entries_.push_back(std::move(entry));
  }
  if (pos != end)
    return Damaged("its central directory is garbled");
  return CheckNoClashes(entries_);
}

std::size_t ZipArchive::FileCount() const {
  std::size_t files = 0;
  for (const ZipEntry& entry : entries_)
    files += entry.isFolder ? 0 : 1;
  return files;
}

ZipResult ZipArchive::Read(const ZipEntry& entry, std::string* data) const {
  const unsigned char* in = bytes_ + entry.dataOffset;
  const std::string named = " of " + Quoted(entry.name);
  if (entry.method == kStored) {
    data->assign(reinterpret_cast<const char*>(in), entry.size);
  } else {
    // A stream longer than the stated size does not fit, one that is shorter leaves a gap.
    data->assign(entry.size, '\0');
    const codec::Inflated result = codec::Inflate(
        in, entry.compressedSize, reinterpret_cast<std::uint8_t*>(&(*data)[0]), data->size());
    if (!result.ok || result.written != entry.size || result.read != entry.compressedSize)
      return Damaged("the compressed data" + named + " is corrupt or has the wrong size");
  }
  if (codec::Crc32(data->data(), data->size()) != entry.crc)
    return Damaged("the CRC" + named + " does not match");
  return {};
}

ZipResult ZipArchive::Verify() const {
  std::string data;
  for (const ZipEntry& entry : entries_) {
    if (entry.isFolder)
      continue;
    if (ZipResult result = Read(entry, &data); !result.ok())
      return result;
  }
  return {};
}

ZipResult ZipArchive::ExtractAll(ZipSink& sink) const {
  if (ZipResult result = Verify(); !result.ok())
    return result;
  std::set<std::string> made;
  std::string data;
  for (const ZipEntry& entry : entries_) {
    std::vector<std::string> folders = Parents(entry.name);
    if (entry.isFolder)
      folders.push_back(entry.name);
    for (const std::string& folder : folders) {
      if (!made.insert(folder).second)
        continue;
      if (ZipResult result = sink.CreateFolder(folder); !result.ok())
        return result;
    }
    if (entry.isFolder)
      continue;
    if (ZipResult result = Read(entry, &data); !result.ok())
      return result;
    if (ZipResult result = sink.WriteFile(entry.name, data); !result.ok())
      return result;
  }
  return {};
}

}  // namespace cvi::sfx
