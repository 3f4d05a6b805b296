// A DLL planted under a system DLL's name: loaded into a process, it leaves a file beside itself,
// "<its own path>.loaded", or "<its own path>.loaded-at-start" when the process imported it while
// it started, and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID imported) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 16] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcatA(path, imported ? ".loaded-at-start" : ".loaded");
      CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    }
  }
  return TRUE;
}
