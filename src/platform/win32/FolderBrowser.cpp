// The shell's folder dialog: opens on a start folder and shows the selection's path as it moves.
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "platform/win32/OleSession.h"
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

// The file-system path of an item into a buffer of MAX_PATH characters; the shell's answer
// (1 on success) is returned as it came.
BOOL PathOf(LPCITEMIDLIST item, char (&buffer)[MAX_PATH]) {
  for (char& c : buffer)
    c = ' ';
  buffer[MAX_PATH - 1] = '\0';
  return SHGetPathFromIDListA(item, buffer);
}

// What the dialog's callbacks need, handed over through the dialog description and the timer's
// identifier so that no state outlives the dialog; it lives while BrowseForFolder waits.
struct BrowseContext {
  const std::string* startFolder;
  const std::function<bool()>* stillWanted;
};

constexpr UINT kWatchIntervalMs = 100;

// Closes the dialog as the user's Cancel does.
void CloseAsCancelled(HWND dialog, BrowseContext* context) {
  KillTimer(dialog, reinterpret_cast<UINT_PTR>(context));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// The installer may stop wanting a folder while the dialog is open (CANCEL, the end of the run);
// the dialog then goes instead of lingering.
void CALLBACK WatchTimerProc(HWND dialog, UINT, UINT_PTR id, DWORD) {
  auto* context = reinterpret_cast<BrowseContext*>(id);
  if (!(*context->stillWanted)())
    CloseAsCancelled(dialog, context);
}

int CALLBACK BrowseCallbackProc(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  auto* context = reinterpret_cast<BrowseContext*>(data);
  if (message == BFFM_INITIALIZED) {
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE,
                 reinterpret_cast<LPARAM>(context->startFolder->c_str()));
    SetTimer(dialog, reinterpret_cast<UINT_PTR>(context), kWatchIntervalMs, WatchTimerProc);
  } else if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH];
    if (PathOf(reinterpret_cast<LPCITEMIDLIST>(param), path) == 1) {
      SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

}  // namespace

// The dialog is owned by the installer's window: the window cannot be used while the dialog is
// open, and when the window goes, the dialog goes with it.
std::string Win32FolderBrowser::BrowseForFolder(const std::string& title,
                                                const std::string& startFolder,
                                                const std::function<bool()>& stillWanted) {
  OleSession ole;
  const std::string browseTitle = title;
  BrowseContext context{&startFolder, &stillWanted};

  BROWSEINFOA info = {};
  info.hwndOwner = forms_ ? forms_->FirstVisibleForm() : nullptr;
  info.pidlRoot = nullptr;
  info.pszDisplayName = nullptr;
  info.lpszTitle = browseTitle.c_str();
  info.ulFlags = kBrowseFlags;
  info.lpfn = BrowseCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(&context);
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
  // The last character, not the last byte: in a double-byte code page a character's second byte
  // may be that of "\\".
  const char* last = CharPrevExA(CP_ACP, path.c_str(), path.c_str() + path.size(), 0);
  if (std::string(last) != "\\")
    path += '\\';
  return path;
}

}  // namespace cvi::win32
