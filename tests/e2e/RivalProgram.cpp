// Another program on the user's desktop, for tests of the installer among other software:
//
//   RivalProgram.exe take-foreground FILE   a "Rival - Notepad" window with a focused text field
//                                           that takes the foreground every 10 ms and appends
//                                           every keyboard message it receives to FILE
//   RivalProgram.exe hold-clipboard MS      keeps the clipboard open until MS milliseconds
//                                           after a window whose title contains "WinZip
//                                           Self-Extractor -" appears (waiting at most a
//                                           minute), and ends
//   RivalProgram.exe load-library NAME      loads the DLL NAME as a program does that leaves the
//                                           DLL search as it is, and ends: 0 when it was loaded
//
// The first two show a window titled "Rival - ..." once they are ready; they end on WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kTakeForegroundTimer = 1;
constexpr UINT kTakeForegroundMs = 10;
constexpr DWORD kWatchMs = 60000;

bool IsKeyMessage(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_PASTE;
}

void Record(const std::string& recordFile, const MSG& msg) {
  if (std::FILE* file = std::fopen(recordFile.c_str(), "ab")) {
    std::fprintf(file, "message 0x%04x wParam 0x%04x\r\n", msg.message,
                 static_cast<unsigned>(msg.wParam));
    std::fclose(file);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      SetForegroundWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* title, bool visible) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "RivalProgram";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "RivalProgram", title, WS_OVERLAPPEDWINDOW, 40, 40, 400, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
  if (window && visible)
    ShowWindow(window, SW_SHOW);
  return window;
}

int TakeForeground(const std::string& recordFile) {
  HWND window = MakeWindow("Rival - Notepad", true);
  HWND field = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 380, 150,
                               window, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window || !field)
    return 1;
  SetForegroundWindow(window);
  SetFocus(field);
  SetTimer(window, kTakeForegroundTimer, kTakeForegroundMs, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsKeyMessage(msg.message))
      Record(recordFile, msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

bool ExtractorDialogOpen() {
  for (HWND w = FindWindowA(nullptr, nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    char title[256] = {};
    GetWindowTextA(w, title, sizeof title);
    if (std::string(title).find("WinZip Self-Extractor -") != std::string::npos)
      return true;
  }
  return false;
}

int HoldClipboard(DWORD holdMs) {
  HWND window = MakeWindow("Rival - clipboard holder", false);
  if (!window)
    return 1;
  // Held from the start, so that however late this program sees the dialog, the installer finds
  // the clipboard taken.
  if (!OpenClipboard(window))
    return 3;
  const DWORD start = GetTickCount();
  while (!ExtractorDialogOpen()) {
    if (GetTickCount() - start > kWatchMs)
      return 2;
    // Waiting for messages, not sleeping, tells whoever started it that it is ready.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  Sleep(holdMs);
  CloseClipboard();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "take-foreground")
    return TakeForeground(argv[2]);
  if (mode == "hold-clipboard")
    return HoldClipboard(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  if (mode == "load-library")
    return LoadLibraryA(argv[2]) ? 0 : 1;
  std::fprintf(
      stderr, "usage: RivalProgram take-foreground FILE | hold-clipboard MS | load-library NAME\n");
  return 2;
}
