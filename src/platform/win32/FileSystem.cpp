// Directory-entry lookup, folder creation, deletion and file writing on the Win32 file system.
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

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

int Win32FileSystem::DriveType(const std::string& root) {
  return static_cast<int>(GetDriveTypeA(root.c_str()));
}

}  // namespace cvi::win32
