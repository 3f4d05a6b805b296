// Directory-entry lookup, folder creation, deletion, file writing and held files on the Win32 file
// system.
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

#include <bcrypt.h>

#include <vector>

namespace cvi::win32 {
namespace {

// Another program's handle (a virus scanner looking at a new program) refuses with a sharing
// violation. A running program refuses the deletion or replacement of its file with "access
// denied", which an existing, ordinary and writable file does not answer otherwise here.
FileError Reason(DWORD error, const std::string& path) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return FileError::InUse;
  if (error == ERROR_ACCESS_DENIED) {
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotOrdinary) == 0)
      return FileError::InUse;
  }
  return FileError::Other;
}

// Whether `path` names the file that `handle` has open.
bool IsFileAt(HANDLE handle, const std::string& path) {
  FileHandle named(CreateFileA(path.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION a, b;
  return named && GetFileInformationByHandle(handle, &a) &&
         GetFileInformationByHandle(named.Get(), &b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

void Tell(FileError* why, FileError reason) {
  if (why)
    *why = reason;
}

// Tells why the last call failed, and answers false, for a return statement.
bool Failed(FileError* why, const std::string& path) {
  Tell(why, Reason(GetLastError(), path));
  return false;
}

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
  // Through the held handle itself, so that the name goes to exactly the file that was read. The
  // file is then held for reading only, so that a program that reads itself, as a self-extractor
  // does, may open it again. At no moment can another program write it, and one that renamed it
  // while the hold changed hands is found out.
  FileError Rename(const std::string& path) override {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 1 || path.find('\0') != std::string::npos)
      return FileError::Other;
    const std::size_t nameBytes = static_cast<std::size_t>(length - 1) * sizeof(WCHAR);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, info->FileName, length);
    if (!SetFileInformationByHandle(file_.Get(), FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size()))) {
      return Reason(GetLastError(), path);
    }
    FileHandle bridge(
        ReOpenFile(file_.Get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, 0));
    if (!bridge)
      return FileError::Other;
    file_ = std::move(bridge);
    FileHandle reader(ReOpenFile(file_.Get(), GENERIC_READ, FILE_SHARE_READ, 0));
    if (!reader)
      return FileError::Other;
    file_ = std::move(reader);
    return IsFileAt(file_.Get(), path) ? FileError::None : FileError::Other;
  }
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

bool Win32FileSystem::DeleteFile(const std::string& path, FileError* why) {
  Tell(why, FileError::Other);
  if (Truncated(path))
    return false;
  if (!DeleteFileA(path.c_str()))
    return Failed(why, path);
  Tell(why, FileError::None);
  return true;
}

// Others may delete the file while it is written, so that the end of the session can take away a
// download that is still running.
std::unique_ptr<OutputFile> Win32FileSystem::CreateOutputFile(const std::string& path,
                                                              FileError* why) {
  Tell(why, FileError::Other);
  if (Truncated(path))
    return nullptr;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Failed(why, path);
    return nullptr;
  }
  Tell(why, FileError::None);
  return std::make_unique<Win32OutputFile>(std::move(file));
}

// Others may read the file, and so start it as a program, but not write, rename or delete it. The
// holder itself may rename it; until then, others may open it only if they let it be deleted too,
// as the start of a program does.
std::unique_ptr<HeldFile> Win32FileSystem::HoldForReading(const std::string& path, FileError* why) {
  Tell(why, FileError::Other);
  if (Truncated(path))
    return nullptr;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
  if (!file) {
    Failed(why, path);
    return nullptr;
  }
  Tell(why, FileError::None);
  return std::make_unique<Win32HeldFile>(std::move(file));
}

std::int64_t Win32FileSystem::FreeSpace(const std::string& folder) {
  if (folder.empty() || Truncated(folder))
    return -1;
  const std::string root = folder.back() == '\\' ? folder : folder + "\\";
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr))
    return -1;
  return available.QuadPart > 0x7fffffffffffffffull ? 0x7fffffffffffffffll
                                                    : static_cast<std::int64_t>(available.QuadPart);
}

bool Win32FileSystem::IsLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

int Win32FileSystem::DriveType(const std::string& root) {
  return static_cast<int>(GetDriveTypeA(root.c_str()));
}

FileError Win32FileSystem::RenameFile(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
    return FileError::None;
  return Reason(GetLastError(), from);
}

// Everyone else may go on reading, writing and deleting it meanwhile.
FileError Win32FileSystem::TryOpenForWriting(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  return file ? FileError::None : Reason(GetLastError(), path);
}

}  // namespace cvi::win32
