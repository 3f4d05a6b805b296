// One installer at a time in a logon session.
#include "platform/win32/SingleInstance.h"

namespace cvi::win32 {
namespace {

constexpr DWORD kPollMs = 50;

struct Search {
  const char* windowClass;
  HWND found;
};

BOOL CALLBACK FindOthersWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[64] = {};
  if (process == GetCurrentProcessId() || !IsWindowVisible(window) ||
      GetClassNameA(window, name, sizeof name) == 0 || lstrcmpA(name, search->windowClass) != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

// A claim that cannot be made at all for another reason (the name taken by another kind of
// object) lets the installer run: refusing would let any program keep it from ever starting.
SessionClaim::SessionClaim(const char* name) : mutex_(CreateMutexA(nullptr, FALSE, name)) {
  const DWORD error = GetLastError();
  if (!mutex_ && error == ERROR_ACCESS_DENIED)
    holder_ = Holder::AnotherOutOfReach;
  else if (mutex_ && error == ERROR_ALREADY_EXISTS)
    holder_ = Holder::Another;
}

bool BringOtherInstanceToFront(const char* windowClass, DWORD timeoutMs) {
  // The other installer may have been started a moment ago and not show its window yet.
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  Search search{windowClass, nullptr};
  for (;;) {
    EnumWindows(FindOthersWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found || GetTickCount64() >= deadline)
      break;
    Sleep(kPollMs);
  }
  if (!search.found)
    return false;
  if (IsIconic(search.found))
    ShowWindowAsync(search.found, SW_RESTORE);
  // A message box or the folder dialog in front of the window is what the user has to answer.
  HWND front = GetLastActivePopup(search.found);
  SetForegroundWindow(front && IsWindowVisible(front) ? front : search.found);
  return true;
}

}  // namespace cvi::win32
