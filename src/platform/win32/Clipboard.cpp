// The clipboard's text, in the ANSI code page.
#include <cstring>

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// Another program may hold the clipboard for a moment; a few short tries, then give up.
constexpr int kOpenTries = 20;
constexpr DWORD kOpenRetryMs = 10;

// Opens the clipboard for one scope. The owner is a message-only window of our own: with no
// owner, EmptyClipboard leaves the clipboard ownerless and SetClipboardData may refuse.
class OpenClipboardScope {
 public:
  OpenClipboardScope()
      : owner_(CreateWindowExA(0,
                               "STATIC",
                               "",
                               0,
                               0,
                               0,
                               0,
                               0,
                               HWND_MESSAGE,
                               nullptr,
                               GetModuleHandleA(nullptr),
                               nullptr)) {
    for (int i = 0; i < kOpenTries && !open_; ++i) {
      open_ = OpenClipboard(owner_) != FALSE;
      if (!open_)
        Sleep(kOpenRetryMs);
    }
  }
  ~OpenClipboardScope() {
    if (open_)
      CloseClipboard();
    if (owner_)
      DestroyWindow(owner_);
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  explicit operator bool() const { return open_; }

 private:
  HWND owner_;
  bool open_ = false;
};

}  // namespace

bool Win32Clipboard::Clear() {
  OpenClipboardScope clipboard;
  return clipboard && EmptyClipboard();
}

bool Win32Clipboard::SetText(const std::string& text) {
  OpenClipboardScope clipboard;
  if (!clipboard || !EmptyClipboard())
    return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!memory)
    return false;
  if (char* bytes = static_cast<char*>(GlobalLock(memory))) {
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    // From here the clipboard owns the memory.
    if (SetClipboardData(CF_TEXT, memory))
      return true;
  }
  GlobalFree(memory);
  return false;
}

bool Win32Clipboard::GetText(std::string* text) {
  if (!IsClipboardFormatAvailable(CF_TEXT))
    return false;
  OpenClipboardScope clipboard;
  if (!clipboard)
    return false;
  HANDLE memory = GetClipboardData(CF_TEXT);
  if (!memory)
    return false;
  const char* bytes = static_cast<const char*>(GlobalLock(memory));
  if (!bytes)
    return false;
  // The text ends at its NUL, but never beyond the block it lives in.
  const std::size_t size = GlobalSize(memory);
  text->assign(bytes, strnlen(bytes, size));
  GlobalUnlock(memory);
  return true;
}

}  // namespace cvi::win32
