// Stand-in for the installed CelvaraStudio.exe: records how it was started, then shows a window
// with its version and the folder it was given, until the window is closed.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kTitle = "CelvaraStudio v3.9";
constexpr const char* kClassName = "CelvaraStudioSample";
constexpr int kIdVersion = 101;
constexpr int kIdFolder = 102;

// The folder of this program, ending in a backslash.
std::string OwnFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  const std::size_t slash = folder.find_last_of('\\');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// One record per start, appended, so that a test sees a second start as well as the first:
// "cmdline=<raw command line>" and "arg1=<first argument>", each on its own line.
bool RecordStart(const char* firstArgument) {
  const std::string log = OwnFolder() + "launched.txt";
  std::FILE* file = std::fopen(log.c_str(), "ab");
  if (file == nullptr)
    return false;
  std::fprintf(file, "cmdline=%s\r\narg1=%s\r\n", GetCommandLineA(), firstArgument);
  std::fclose(file);
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Static controls rather than painted text, so that a test can read what the window shows.
void AddLine(HWND window, int id, int top, const std::string& text) {
  HWND line =
      CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 16, top, 460,
                      20, window, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
  SendMessageA(line, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
}

}  // namespace

int main(int argc, char** argv) {
  const char* folder = argc > 1 ? argv[1] : "";
  if (!RecordStart(folder))
    return 1;

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) == 0)
    return 1;
  HWND window =
      CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 500,
                      140, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr)
    return 1;
  AddLine(window, kIdVersion, 16, std::string("CelvaraStudio version ") + "v3.9");
  AddLine(window, kIdFolder, 44,
          std::string("Installed in: ") + (*folder ? folder : "(no folder given)"));
  ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
