// The clipboard: the folder as text in the ANSI code page, and all of the user's content kept and
// put back.
#include <cstring>
#include <set>

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

// A movable memory block holding `size` bytes, as SetClipboardData takes it; null on failure.
HGLOBAL GlobalCopy(const void* bytes, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size > 0 ? size : 1);
  if (!memory)
    return nullptr;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory);
  return memory;
}

// Hands the memory to the clipboard, which owns it from then on; freed when it is refused.
bool PutOnClipboard(UINT format, HGLOBAL memory) {
  if (memory && SetClipboardData(format, memory))
    return true;
  if (memory)
    GlobalFree(memory);
  return false;
}

// Formats the system makes by itself from another one that is there; they come back with it.
bool Derived(UINT format, const std::set<UINT>& present) {
  const bool dib = present.count(CF_DIB) || present.count(CF_DIBV5);
  return ((format == CF_BITMAP || format == CF_PALETTE) && dib) ||
         (format == CF_METAFILEPICT && present.count(CF_ENHMETAFILE));
}

// Formats whose data is no memory block, or whose handle this program cannot copy.
bool Opaque(UINT format) {
  return format == CF_BITMAP || format == CF_PALETTE || format == CF_METAFILEPICT ||
         format == CF_OWNERDISPLAY || format == CF_DSPBITMAP || format == CF_DSPMETAFILEPICT ||
         format == CF_DSPENHMETAFILE || (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
         (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST);
}

bool CopyOut(UINT format, HANDLE data, std::string* bytes) {
  if (format == CF_ENHMETAFILE) {
    auto metafile = static_cast<HENHMETAFILE>(data);
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    bytes->resize(size);
    return size > 0 &&
           GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(&(*bytes)[0])) == size;
  }
  const void* source = GlobalLock(data);
  if (!source)
    return false;
  bytes->assign(static_cast<const char*>(source), GlobalSize(data));
  GlobalUnlock(data);
  return true;
}

bool CopyIn(const ClipboardFormat& format) {
  if (format.id == CF_ENHMETAFILE) {
    HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<UINT>(format.data.size()),
                                               reinterpret_cast<const BYTE*>(format.data.data()));
    if (metafile && SetClipboardData(CF_ENHMETAFILE, metafile))
      return true;
    if (metafile)
      DeleteEnhMetaFile(metafile);
    return false;
  }
  return PutOnClipboard(format.id, GlobalCopy(format.data.data(), format.data.size()));
}

}  // namespace

bool Win32Clipboard::SetText(const std::string& text) {
  OpenClipboardScope clipboard;
  if (!clipboard || !EmptyClipboard() ||
      !PutOnClipboard(CF_TEXT, GlobalCopy(text.c_str(), text.size() + 1))) {
    return false;
  }
  // The folder is ours for a moment only: clipboard history and cloud clipboard leave it alone.
  const DWORD none = 0;
  PutOnClipboard(RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"),
                 GlobalCopy(&none, sizeof none));
  return true;
}

bool Win32Clipboard::Take(std::vector<ClipboardFormat>* saved) {
  OpenClipboardScope clipboard;
  if (!clipboard)
    return false;
  // In the clipboard's own order, which is the order of preference for the programs that paste.
  std::vector<UINT> order;
  SetLastError(ERROR_SUCCESS);
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
    order.push_back(format);
  if (GetLastError() != ERROR_SUCCESS)
    return false;
  const std::set<UINT> present(order.begin(), order.end());
  std::vector<ClipboardFormat> formats;
  for (UINT format : order) {
    if (Derived(format, present))
      continue;
    if (Opaque(format))
      return false;
    HANDLE data = GetClipboardData(format);
    ClipboardFormat kept{format, {}};
    if (!data || !CopyOut(format, data, &kept.data))
      return false;
    formats.push_back(std::move(kept));
  }
  if (!EmptyClipboard())
    return false;
  *saved = std::move(formats);
  return true;
}

bool Win32Clipboard::Restore(const std::vector<ClipboardFormat>& saved) {
  OpenClipboardScope clipboard;
  if (!clipboard || !EmptyClipboard())
    return false;
  bool all = true;
  for (const ClipboardFormat& format : saved)
    all = CopyIn(format) && all;
  return all;
}

}  // namespace cvi::win32
