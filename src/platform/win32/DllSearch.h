// Where the program looks for the DLLs it loads by name: the system folder only.
#pragma once

#include <windows.h>

namespace cvi::win32 {

// Takes the program's own folder (a downloads folder, say), the current folder and PATH out of
// the DLL search of this process, so that a file planted there under a system DLL's name is never
// loaded in its place. Where the system cannot search the system folder only (Windows 7 without
// its 2011 loader update), at least the current folder goes.
void SearchSystemFolderOnly();

// Loads a DLL of the system folder (the common controls in the version the manifest names), and
// the DLLs it needs from there too; null when it cannot.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace cvi::win32
