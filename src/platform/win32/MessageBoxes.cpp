// Message boxes modal to the installer's windows.
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {

// Owned by the active installer window (or the first one shown), the box disables it until it is
// answered; with no window up, the box disables every window of the thread instead.
int Win32MessageBoxes::Show(const std::string& text,
                            const std::string& title,
                            std::uint32_t style) {
  HWND owner = GetActiveWindow();
  if (!owner || !IsWindowVisible(owner))
    owner = forms_.FirstVisibleForm();
  UINT boxStyle = static_cast<UINT>(style);
  if (!owner)
    boxStyle |= MB_TASKMODAL;
  return MessageBoxA(owner, text.c_str(), title.c_str(), boxStyle);
}

}  // namespace cvi::win32
