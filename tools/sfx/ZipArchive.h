// Reading the zip archive that follows the self-extractor stub: finding it, checking every entry
// before anything is written, and inflating entries with their sizes and CRC-32 verified.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cvi::sfx {

enum class ZipStatus {
  Ok,
  NoArchive,    // no end-of-central-directory record: nothing appended, or cut off
  Damaged,      // structure, sizes or CRC do not check out
  Unsupported,  // zip64, encryption, a compression method other than stored and deflate
  UnsafeName,   // an entry that would land outside the destination, or cannot be named there
  TooLarge,     // an entry or the whole archive beyond the sizes this program accepts
  WriteFailed,  // reported by the sink
};

struct ZipResult {
  ZipStatus status = ZipStatus::Ok;
  std::string message;  // a sentence for the user; empty when Ok
  bool ok() const { return status == ZipStatus::Ok; }
};

struct ZipEntry {
  std::string name;  // checked and normalised: "/" separators, no trailing separator
  bool isFolder = false;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
  std::size_t dataOffset = 0;  // from the start of the bytes given to Open
};

// Where the files go. Names are relative, "/"-separated and already checked.
class ZipSink {
 public:
  virtual ~ZipSink() = default;
  virtual ZipResult CreateFolder(const std::string& name) = 0;
  // Must leave nothing under `name` unless all of `data` is there.
  virtual ZipResult WriteFile(const std::string& name, const std::string& data) = 0;
};

// Limits checked before anything is allocated: one entry is held in memory while it is written.
constexpr std::uint32_t kMaxEntrySize = 64u << 20;
constexpr std::uint64_t kMaxTotalSize = 1ull << 30;

// Checks an entry name as stored in the archive. On success `normalised` gets the name with "/"
// separators and no trailing separator, and `isFolder` whether the name ended in a separator.
bool NormaliseEntryName(const std::string& raw, std::string* normalised, bool* isFolder);

class ZipArchive {
 public:
  // Finds the archive at the end of `bytes` and checks its whole directory, every local header
  // and every name. `bytes` must outlive the archive.
  ZipResult Open(const unsigned char* bytes, std::size_t size);

  const std::vector<ZipEntry>& Entries() const { return entries_; }
  std::size_t FileCount() const;

  // The entry's content, its size and CRC-32 checked.
  ZipResult Read(const ZipEntry& entry, std::string* data) const;
  // Reads every file once, so that damage is found before anything is written.
  ZipResult Verify() const;
  // Verify, then every folder and file into `sink`, parents first; stops at the first failure.
  ZipResult ExtractAll(ZipSink& sink) const;

 private:
  ZipResult Parse();

  const unsigned char* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::vector<ZipEntry> entries_;
};

}  // namespace cvi::sfx
