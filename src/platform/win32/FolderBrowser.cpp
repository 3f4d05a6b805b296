// The shell's folder dialog: opens on a start folder and shows the selection's path as it moves.
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT;
static_assert(kBrowseFlags == 7, "file-system folders only, domain level, status line");

// The item identifier list that the dialog hands back belongs to the caller.
class ItemIdList {
 public:
  explicit ItemIdList(LPITEMIDLIST list) : list_(list) {}
  ~ItemIdList() { CoTaskMemFree(list_); }
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;
  LPCITEMIDLIST Get() const { return list_; }
  explicit operator bool() const { return list_ != nullptr; }

 private:
  LPITEMIDLIST list_;
};

// The dialog needs OLE on its thread; a balanced pair whether or not the caller set it up.
class OleScope {
 public:
  OleScope() : result_(OleInitialize(nullptr)) {}
  ~OleScope() {
    if (SUCCEEDED(result_))
      OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  HRESULT result_;
};

// The file-system path of an item into a buffer of MAX_PATH characters; the shell's answer
// (1 on success) is returned as it came.
BOOL PathOf(LPCITEMIDLIST item, char (&buffer)[MAX_PATH]) {
  for (char& c : buffer)
    c = ' ';
  buffer[MAX_PATH - 1] = '\0';
  return SHGetPathFromIDListA(item, buffer);
}

// `data` is the start folder, handed over through the dialog description so that no state
// outlives the dialog; it is read only while BrowseForFolder waits for the dialog.
int CALLBACK BrowseCallbackProc(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  try {
    if (message == BFFM_INITIALIZED && data != 0) {
      const auto* startFolder = reinterpret_cast<const std::string*>(data);
      SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE,
                   reinterpret_cast<LPARAM>(startFolder->c_str()));
    } else if (message == BFFM_SELCHANGED) {
      char path[MAX_PATH];
      if (PathOf(reinterpret_cast<LPCITEMIDLIST>(param), path) == 1) {
        SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
      }
    }
  } catch (...) {
    // Nothing may escape into the shell's message loop.
  }
  return 0;
}

}  // namespace

std::string Win32FolderBrowser::BrowseForFolder(const std::string& title,
                                                const std::string& startFolder) {
  OleScope ole;
  const std::string browseStartFolder = startFolder;
  const std::string browseTitle = title;

  BROWSEINFOA info = {};
  info.hwndOwner = nullptr;
  info.pidlRoot = nullptr;
  info.pszDisplayName = nullptr;
  info.lpszTitle = browseTitle.c_str();
  info.ulFlags = kBrowseFlags;
  info.lpfn = BrowseCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(&browseStartFolder);
  info.iImage = 0;

  ItemIdList chosen(SHBrowseForFolderA(&info));
  if (!chosen)
    return "";

  char buffer[MAX_PATH];
  // An item without a file-system path cannot be installed into: the same as no choice.
  if (!PathOf(chosen.Get(), buffer))
    return "";
  std::string path(buffer);
  if (path.empty())
    return "";
  if (path.back() != '\\')
    path += '\\';
  return path;
}

}  // namespace cvi::win32
