// The system DLLs that CVInstall.exe needs only once the user acts load on first use.
//
// The folder dialog (shell32, ole32), the download (wininet) and the digest check (bcrypt) come
// after the window is up; loading those DLLs and their dependencies before it cost about a tenth of
// the start-up. Each function's import slot here starts at a stand-in that loads the DLL from the
// system folder, puts the real function into the slot and calls it, so later calls go straight
// through (two threads meeting a stand-in at once both load the DLL and store the same address).
// The slots take the place of the import table's entries; the DLLs and what they need load from
// the system folder only (LoadSystemLibrary), so a DLL of the same name beside the installer (in a
// downloads folder, say) is never picked up. The common controls and the theme library, needed
// for the window itself, come through here too: they are not known DLLs, so imported, they and
// what they load as they start would be looked for beside the installer before its first
// instruction.
// Linked into CVInstall.exe only; scripts/check-imports checks that none of these DLLs is imported.
#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>
#include <uxtheme.h>
#include <wininet.h>

#include <string>

#include "platform/win32/DllSearch.h"

namespace cvi::win32 {
namespace {

// A system DLL that cannot be loaded leaves the program as unable to go on as a missing import
// would at start: it says which and ends. The address is handed out untyped, for the caller to
// give it the SDK's type.
void* Find(const char* dll, const char* function) {
  FARPROC found = nullptr;
  if (HMODULE module = LoadSystemLibrary(dll))
    found = GetProcAddress(module, function);
  if (!found) {
    const std::string text = std::string("The system library ") + dll +
                             " could not be loaded, or lacks " + function +
                             ". The installation cannot go on.";
    MessageBoxA(nullptr, text.c_str(), "CelvaraStudio Install/Upgrade", MB_OK | MB_ICONSTOP);
    ExitProcess(1);
  }
  return reinterpret_cast<void*>(found);
}

}  // namespace
}  // namespace cvi::win32

#ifdef _WIN64
#define CVI_IMPORT_SLOT(name, bytes) "__imp_" #name
#else
#define CVI_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#endif

// A function the SDK declares for import: callers go through its slot. The slot's type is the
// SDK's, so a stand-in with other parameters does not compile; 32-bit slot names carry the bytes
// of the arguments, and a wrong count leaves the real import in place, which check-imports reports.
#define CVI_LAZY_IMPORT(dll, ret, name, bytes, params, args)                         \
  extern decltype(&::name) lazy_##name __asm__(CVI_IMPORT_SLOT(name, bytes));        \
  static ret WINAPI first_##name params {                                            \
    lazy_##name = reinterpret_cast<decltype(&::name)>(cvi::win32::Find(dll, #name)); \
    return lazy_##name args;                                                         \
  }                                                                                  \
  decltype(&::name) lazy_##name = first_##name;

// A function the SDK declares without import: callers call it by name.
#define CVI_LAZY_FUNCTION(dll, ret, name, params, args)                                         \
  extern "C" ret WINAPI name params {                                                           \
    static const auto real = reinterpret_cast<decltype(&::name)>(cvi::win32::Find(dll, #name)); \
    return real args;                                                                           \
  }

CVI_LAZY_IMPORT("ole32.dll", HRESULT, OleInitialize, 4, (LPVOID reserved), (reserved))
CVI_LAZY_IMPORT("ole32.dll", void, OleUninitialize, 0, (), ())
CVI_LAZY_IMPORT("ole32.dll", void, CoTaskMemFree, 4, (LPVOID memory), (memory))

CVI_LAZY_IMPORT("comctl32.dll",
                WINBOOL,
                InitCommonControlsEx,
                4,
                (const INITCOMMONCONTROLSEX* controls),
                (controls))
CVI_LAZY_FUNCTION("comctl32.dll",
                  WINBOOL,
                  SetWindowSubclass,
                  (HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data),
                  (window, procedure, id, data))
CVI_LAZY_FUNCTION("comctl32.dll",
                  WINBOOL,
                  RemoveWindowSubclass,
                  (HWND window, SUBCLASSPROC procedure, UINT_PTR id),
                  (window, procedure, id))
CVI_LAZY_FUNCTION("comctl32.dll",
                  LRESULT,
                  DefSubclassProc,
                  (HWND window, UINT message, WPARAM wParam, LPARAM lParam),
                  (window, message, wParam, lParam))

CVI_LAZY_IMPORT("uxtheme.dll",
                HRESULT,
                SetWindowTheme,
                12,
                (HWND window, LPCWSTR application, LPCWSTR list),
                (window, application, list))

CVI_LAZY_IMPORT("shell32.dll",
                PIDLIST_ABSOLUTE,
                SHBrowseForFolderA,
                4,
                (LPBROWSEINFOA info),
                (info))
CVI_LAZY_IMPORT("shell32.dll",
                WINBOOL,
                SHGetPathFromIDListA,
                8,
                (PCIDLIST_ABSOLUTE list, LPSTR path),
                (list, path))

CVI_LAZY_IMPORT("wininet.dll",
                HINTERNET,
                InternetOpenA,
                20,
                (LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags),
                (agent, access, proxy, bypass, flags))
CVI_LAZY_IMPORT(
    "wininet.dll",
    HINTERNET,
    InternetOpenUrlA,
    24,
    (HINTERNET session, LPCSTR url, LPCSTR headers, DWORD length, DWORD flags, DWORD_PTR context),
    (session, url, headers, length, flags, context))
CVI_LAZY_IMPORT("wininet.dll", WINBOOL, InternetCloseHandle, 4, (HINTERNET handle), (handle))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetReadFile,
                16,
                (HINTERNET file, LPVOID buffer, DWORD size, LPDWORD read),
                (file, buffer, size, read))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetQueryDataAvailable,
                16,
                (HINTERNET file, LPDWORD available, DWORD flags, DWORD_PTR context),
                (file, available, flags, context))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetSetOptionA,
                16,
                (HINTERNET handle, DWORD option, LPVOID buffer, DWORD length),
                (handle, option, buffer, length))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetCombineUrlA,
                20,
                (LPCSTR base, LPCSTR relative, LPSTR buffer, LPDWORD length, DWORD flags),
                (base, relative, buffer, length, flags))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetQueryOptionA,
                16,
                (HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length),
                (handle, option, buffer, length))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                InternetCrackUrlA,
                16,
                (LPCSTR url, DWORD length, DWORD flags, LPURL_COMPONENTSA parts),
                (url, length, flags, parts))
CVI_LAZY_IMPORT("wininet.dll",
                WINBOOL,
                HttpQueryInfoA,
                20,
                (HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index),
                (request, level, buffer, length, index))

CVI_LAZY_FUNCTION("bcrypt.dll",
                  NTSTATUS,
                  BCryptOpenAlgorithmProvider,
                  (BCRYPT_ALG_HANDLE * algorithm, LPCWSTR id, LPCWSTR implementation, ULONG flags),
                  (algorithm, id, implementation, flags))
CVI_LAZY_FUNCTION("bcrypt.dll",
                  NTSTATUS,
                  BCryptCloseAlgorithmProvider,
                  (BCRYPT_ALG_HANDLE algorithm, ULONG flags),
                  (algorithm, flags))
CVI_LAZY_FUNCTION("bcrypt.dll",
                  NTSTATUS,
                  BCryptCreateHash,
                  (BCRYPT_ALG_HANDLE algorithm,
                   BCRYPT_HASH_HANDLE* hash,
                   PUCHAR object,
                   ULONG objectSize,
                   PUCHAR secret,
                   ULONG secretSize,
                   ULONG flags),
                  (algorithm, hash, object, objectSize, secret, secretSize, flags))
CVI_LAZY_FUNCTION("bcrypt.dll",
                  NTSTATUS,
                  BCryptHashData,
                  (BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG flags),
                  (hash, input, size, flags))
CVI_LAZY_FUNCTION("bcrypt.dll",
                  NTSTATUS,
                  BCryptFinishHash,
                  (BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG flags),
                  (hash, output, size, flags))
CVI_LAZY_FUNCTION("bcrypt.dll", NTSTATUS, BCryptDestroyHash, (BCRYPT_HASH_HANDLE hash), (hash))
