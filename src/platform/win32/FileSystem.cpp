// Directory-entry lookup, folder creation, deletion, file writing and held files on the Win32 file
// system.
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

#include <bcrypt.h>

#include <vector>

namespace cvi::win32 {
namespace {

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(FileHandle file) : file_(std::move(file)) {}
  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(file_.Get(), data, chunk, &written, nullptr) || written == 0)
        return false;
      data += written;
      size -= written;
    }
    return true;
  }

 private:
  FileHandle file_;
};

struct AlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { BCryptDestroyHash(h); }
};

// The file stays open, sharing only reading, for as long as this object lives.
class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(FileHandle file) : file_(std::move(file)) {}
  // The system's own SHA-256 provider, fed from the held handle itself: what is hashed is what
  // will run.
  bool Sha256(std::uint8_t (&digest)[kSha256Size]) override {
    constexpr DWORD kBlock = 256 * 1024;
    BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&rawAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      return false;
    UniqueHandle<AlgorithmTraits> algorithm(rawAlgorithm);
    BCRYPT_HASH_HANDLE rawHash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.Get(), &rawHash, nullptr, 0, nullptr, 0, 0)))
      return false;
    UniqueHandle<HashTraits> hash(rawHash);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN))
      return false;
    std::vector<UCHAR> block(kBlock);
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file_.Get(), block.data(), kBlock, &got, nullptr))
        return false;
      if (got == 0)
        break;
      if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), block.data(), got, 0)))
        return false;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, kSha256Size, 0));
  }

 private:
  FileHandle file_;
};

bool Accepts(DWORD attributes, EntryKind kind) {
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool hiddenOrSystem = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
  if (kind == EntryKind::OrdinaryFile)
    return !folder && !hiddenOrSystem;
  return folder || !hiddenOrSystem;
}

// The platform would read such a path only up to its first NUL (a registry value may hold one),
// so it would name some other entry than the one asked for.
bool Truncated(const std::string& path) {
  return path.find('\0') != std::string::npos;
}

}  // namespace

// A path with wildcards (the DOS ones "<", ">" and a quote among them) would name whichever entry
// matched first; it names no entry at all here.
std::string Win32FileSystem::FindEntry(const std::string& path, EntryKind kind) {
  if (path.empty() || Truncated(path) || path.find_first_of("*?<>\"") != std::string::npos)
    return "";
  WIN32_FIND_DATAA found;
  FindHandle find(FindFirstFileA(path.c_str(), &found));
  if (!find)
    return "";
  if (!Accepts(found.dwFileAttributes, kind))
    return "";
  return found.cFileName;
}

bool Win32FileSystem::CreateFolder(const std::string& path) {
  return !Truncated(path) && CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
  return !Truncated(path) && DeleteFileA(path.c_str()) != FALSE;
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateOutputFile(const std::string& path) {
  if (Truncated(path))
    return nullptr;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return nullptr;
  return std::make_unique<Win32OutputFile>(std::move(file));
}

// Others may read the file, and so start it as a program, but not write, rename or delete it.
std::unique_ptr<HeldFile> Win32FileSystem::HoldForReading(const std::string& path) {
  if (Truncated(path))
    return nullptr;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file)
    return nullptr;
  return std::make_unique<Win32HeldFile>(std::move(file));
}

bool Win32FileSystem::IsLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

int Win32FileSystem::DriveType(const std::string& root) {
  return static_cast<int>(GetDriveTypeA(root.c_str()));
}

}  // namespace cvi::win32
