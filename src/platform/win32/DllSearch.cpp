// The DLL search of the installer and the self-extractor stand-in, set before anything else runs.
#include "platform/win32/DllSearch.h"

#include <cstring>

namespace cvi::win32 {
namespace {

// Looked up, not imported: Windows 7 has it only with its 2011 loader update.
decltype(&SetDefaultDllDirectories) FindSetDefaultDllDirectories() {
  return reinterpret_cast<decltype(&SetDefaultDllDirectories)>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
}

}  // namespace

void SearchSystemFolderOnly() {
  const auto setDefault = FindSetDefaultDllDirectories();
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryA("");
  // The system's own window DLLs load the theme library by name into every windowed program, on
  // some systems (Wine's too) past the search set above. A load by name takes a DLL of that name
  // that is already loaded before it searches anywhere.
  LoadSystemLibrary("uxtheme.dll");
}

HMODULE LoadSystemLibrary(const char* name) {
  // The flag comes with the same update as the function. The manifest's choice of the common
  // controls comes before any search; a full path would bypass it for the old version.
  if (FindSetDefaultDllDirectories())
    return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (lstrcmpiA(name, "comctl32.dll") == 0)
    return LoadLibraryA(name);
  // By full path, and the DLL's own needs searched from its folder rather than the program's.
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH)
    return nullptr;
  path[length] = '\\';
  std::strcpy(path + length + 1, name);
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace cvi::win32

// The program's entry point, ahead of the C and C++ runtime's: nothing of the program, its static
// objects included, runs before the search is set. The program imports known DLLs only, which the
// system takes from its own folder whatever the search (scripts/check-imports sees to that), so no
// DLL was looked for beside the program before this point.
extern "C" int WinMainCRTStartup();
extern "C" int CviEntryPoint() {
  cvi::win32::SearchSystemFolderOnly();
  return WinMainCRTStartup();
}
