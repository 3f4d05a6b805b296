// Other programs' top-level windows, as the self-extractor automation sees them.
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

HWND ToHwnd(Windows::Handle handle) {
  return reinterpret_cast<HWND>(handle);
}

Windows::Handle ToHandle(HWND window) {
  return reinterpret_cast<Windows::Handle>(window);
}

}  // namespace

Windows::Handle Win32Windows::First() {
  return ToHandle(FindWindowA(nullptr, nullptr));
}

Windows::Handle Win32Windows::Next(Handle window) {
  return ToHandle(GetWindow(ToHwnd(window), GW_HWNDNEXT));
}

int Win32Windows::TitleLength(Handle window) {
  return GetWindowTextLengthA(ToHwnd(window));
}

int Win32Windows::Title(Handle window, char* buffer, int size) {
  return GetWindowTextA(ToHwnd(window), buffer, size);
}

Windows::Handle Win32Windows::FindExact(const std::string& title) {
  return ToHandle(FindWindowA(nullptr, title.c_str()));
}

bool Win32Windows::BringToFront(Handle window) {
  return SetForegroundWindow(ToHwnd(window)) != FALSE;
}

Windows::Handle Win32Windows::Foreground() {
  return ToHandle(GetForegroundWindow());
}

}  // namespace cvi::win32
