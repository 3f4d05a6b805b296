// The floor under CVInstall's start-up: what any program takes that shows a window like frmInstall
// the way CVInstall does. It loads the same common controls (it carries the same manifest), makes
// the hidden owner and a window of frmInstall's size, and one bare child window for each control
// that CVInstall makes at start, in its place. It sets no font, touches no theme and draws nothing:
// what CVInstall takes above this is its own work.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "ui/Designs.h"

namespace {

constexpr int kTwipsPerPixel = 15;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = FloorProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "StartupFloor";
  if (!RegisterClassA(&windowClass))
    return 1;
  HWND owner = CreateWindowExA(0, "StartupFloor", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr);
  const cvi::FormDesign& design = cvi::DesignOf(cvi::Form::frmInstall);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame{0, 0, design.width / kTwipsPerPixel, design.height / kTwipsPerPixel};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, "StartupFloor", "Startup Floor", style,
                                CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, owner, nullptr, instance, nullptr);
  if (!window)
    return 1;
  // Containers come first in the table, so a frame is made before what it holds.
  std::vector<HWND> made(design.count);
  for (std::size_t i = 0; i < design.count; ++i) {
    const cvi::ControlDesign& d = design.controls[i];
    HWND parent = window;
    if (d.container != cvi::Ctl::None) {
      parent = nullptr;
      for (std::size_t j = 0; j < i; ++j) {
        if (design.controls[j].name == d.container)
          parent = made[j];
      }
    }
    if (!d.visible || !parent)
      continue;
    made[i] =
        CreateWindowExA(WS_EX_NOPARENTNOTIFY, "StartupFloor", "", WS_CHILD | WS_VISIBLE,
                        d.left / kTwipsPerPixel, d.top / kTwipsPerPixel, d.width / kTwipsPerPixel,
                        d.height / kTwipsPerPixel, parent, nullptr, instance, nullptr);
  }
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
