// The application-wide mouse pointer.
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {

void Win32Screen::SetMousePointer(int pointer) {
  pointer_ = pointer;
  HCURSOR cursor = Cursor();
  SetCursor(cursor ? cursor : LoadCursor(nullptr, IDC_ARROW));
}

HCURSOR Win32Screen::Cursor() const {
  if (pointer_ == kHourglass)
    return LoadCursor(nullptr, IDC_WAIT);
  return nullptr;
}

}  // namespace cvi::win32
