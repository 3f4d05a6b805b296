// Drives the real installer from a test process under Wine: starts it, finds its windows and
// controls, reads their state, clicks and types, answers message boxes and takes screenshots.
//
// Everything here works across processes. Waits poll every 20 ms and always end at their time-out,
// so a test that goes wrong fails instead of hanging. Paths are Windows paths ("Z:\..." for the
// build tree). Use it from a test program declared with cvi_e2e_tests() (tests/e2e/tests.cmake).
#pragma once

// Brings <windows.h> in the way the platform code does, so that test programs may include the
// platform headers in any order after this one.
#include "platform/win32/Win32Platform.h"

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/Handles.h"
#include "ui/Designs.h"

namespace cvi::e2e {

constexpr DWORD kPollMs = 20;
constexpr DWORD kDefaultTimeoutMs = 5000;

// ---- Where things are --------------------------------------------------------------------------

// A Windows path for a path of the build machine: "/a/b" becomes "Z:\a\b"; others are unchanged.
std::string ToWindowsPath(const std::string& path);
// The installer under test, the stand-in product (CelvaraStudio.exe), the decoy (Program.exe) and
// another program of the user's (RivalProgram.exe, see RivalProgram.cpp).
std::string InstallerExe();
std::string SampleProductExe();
std::string DecoyProgramExe();
std::string RivalProgramExe();
// The folder for screenshots: the environment variable CVI_ARTIFACTS, else <build>\artifacts.
// Created when missing.
std::string ArtifactsFolder();

// ---- Waiting ------------------------------------------------------------------------------------

// Polls `condition` until it holds (true) or `timeoutMs` has passed (false).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs);

// ---- Processes ----------------------------------------------------------------------------------

// One started program. Ending the object kills the program if it still runs, so that no test
// leaves a process behind in the prefix.
class Process {
 public:
  Process() = default;
  ~Process() { Kill(); }
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;

  // Starts `commandLine` (the program's path first, quoted when it holds spaces) in `folder`
  // (empty: this process's folder). False when it cannot be started.
  bool Start(const std::string& commandLine, const std::string& folder = "");
  bool Running() const;
  // True when the program ended within `timeoutMs`; its exit code goes to `exitCode`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
  void Kill();
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return handle_.Get(); }

 private:
  win32::KernelHandle handle_;
  DWORD id_ = 0;
};

// Starts the installer under test.
bool StartInstaller(Process& process);
// Ends every process whose program's file name starts with `namePrefix` (e.g. the self-extractors
// of the packages, "CelvaraStudio_"), so that none outlives its test.
void KillProcessesNamed(const std::string& namePrefix);

constexpr const char* kInstallWindowTitle = "CelvaraStudio Installation";
constexpr const char* kLaunchWindowTitle = "Lanuch Celvarastudio";
constexpr const char* kMessageTitle = "CelvaraStudio Install/Upgrade";

// One run of the installer for a test: started, with its visible installer window found. The
// installer is killed when the object ends.
class InstallerRun {
 public:
  // False when the installer did not start or showed no installer window within `timeoutMs`.
  bool Start(DWORD timeoutMs = 15000);
  HWND Window() const { return window_; }
  // A control of the installer window.
  HWND operator[](Ctl id) const;
  Process& process() { return process_; }
  DWORD Id() const { return process_.Id(); }

 private:
  Process process_;
  HWND window_ = nullptr;
};

// Runs a command line to its end (e.g. Wine's reg.exe); its exit code, or -1 when it could not be
// started or did not end within `timeoutMs`.
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 30000);

// ---- Windows ------------------------------------------------------------------------------------

// Top-level windows, visible or not, of process `processId` (0: of any process).
std::vector<HWND> TopLevelWindows(DWORD processId = 0);
// The first top-level window with exactly this title; null when there is none.
HWND FindWindowByTitle(const std::string& title, DWORD processId = 0);
// The first top-level window of this window class; null when there is none.
HWND FindWindowByClass(const std::string& className, DWORD processId = 0);
// Waits for a visible top-level window with exactly this title.
HWND WaitForWindow(const std::string& title,
                   DWORD processId = 0,
                   DWORD timeoutMs = kDefaultTimeoutMs);

// A control anywhere inside `window` (frames included) by its control ID.
HWND FindChild(HWND window, Ctl id);
HWND FindChildById(HWND window, int id);
// A control inside `window` whose text is exactly `text` ("&" of mnemonics included).
HWND FindChildByText(HWND window, const std::string& text);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
bool Visible(HWND window);
bool Enabled(HWND window);
LONG_PTR Style(HWND window);
LONG_PTR ExStyle(HWND window);
// The control's rectangle in the client coordinates of its top-level window.
RECT RectInWindow(HWND control);
// The control's rectangle in the client coordinates of its direct parent.
RECT RectInParent(HWND control);
SIZE ClientSize(HWND window);
// What of `window` cannot be seen: the window itself where it leaves the work area of its monitor,
// and each visible control that leaves the client area of its window or frame. Empty when all of
// it can be seen.
std::string PartsOffScreen(HWND window);
// BST_CHECKED, BST_UNCHECKED, ...
LRESULT CheckState(HWND button);
// The control that has the keyboard focus in the thread owning `window`; null when none.
HWND FocusedControl(HWND window);

// ---- Acting -------------------------------------------------------------------------------------

// Clicks a button without waiting for its handler, which may open a modal box.
void Click(HWND button);
// Asks the window to close, as its close button does.
void Close(HWND window);
// Keys go to the foreground window, which these make `window` first.
void PressKey(HWND window, WORD virtualKey);
void PressTab(HWND window, bool shift = false);
void PressEnter(HWND window);
// Alt plus a letter, e.g. PressAlt(window, 'U').
void PressAlt(HWND window, char letter);
void PressCtrl(HWND window, char letter);
// Puts text on the clipboard (for Ctrl+V).
bool SetClipboardText(const std::string& text);
// Replaces the clipboard's content by these formats, each with its bytes.
bool SetClipboardFormats(const std::vector<std::pair<UINT, std::string>>& formats);
// The bytes of one format on the clipboard (a memory block's whole size); false when it has none.
bool ClipboardData(UINT format, std::string* data);
// A user's clipboard: `text` and a format of another program's own, with bytes of its own.
bool SetUsersClipboard(const std::string& text);
// True when the clipboard still holds exactly what SetUsersClipboard put there.
bool HoldsUsersClipboard(const std::string& text);

// ---- Message boxes ------------------------------------------------------------------------------

// A message box (dialog class #32770) with this title, shown by process `processId`.
HWND FindMessageBox(const std::string& title, DWORD processId = 0);
HWND WaitForMessageBox(const std::string& title,
                       DWORD processId = 0,
                       DWORD timeoutMs = kDefaultTimeoutMs);
// The text of a message box (its static control, ID 0xFFFF).
std::string MessageBoxText(HWND box);
// Presses a button of a message box: IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7.
void AnswerMessageBox(HWND box, int buttonId);

// ---- The machine-wide environment ---------------------------------------------------------------

// The registry key of the machine-wide environment block, below HKEY_LOCAL_MACHINE.
constexpr const char* kSysEnvKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

bool SetSysEnvVar(const std::string& name, const std::string& value, DWORD type = REG_SZ);
// True when the value is gone afterwards, also when it never existed.
bool DeleteSysEnvVar(const std::string& name);

// ---- The network
// ----------------------------------------------------------------------------------

// The vendor server stand-in's port on 127.0.0.1 (and 127.0.0.2): CVI_VENDOR_PORT, else 47801.
// Beside it: https with a trusted certificate for "localhost" on the next port, with an untrusted
// one on the port after, a proxy on the third and a proxy that asks for a password on the fourth.
int VendorPort();
// A small text reply fetched straight from the stand-ins, never through a proxy; "" when none.
std::string FetchText(const std::string& url);
// Trusts the stand-in's throwaway certificate authority in the local machine's ROOT store. Wine
// reads that store at the process's first https request: call this before it.
bool TrustTestAuthority();

// The user's proxy server in the system's internet settings, set for the life of the object.
class SystemProxy {
 public:
  explicit SystemProxy(const std::string& server);
  ~SystemProxy();
  SystemProxy(const SystemProxy&) = delete;
  SystemProxy& operator=(const SystemProxy&) = delete;
};

// ---- Files --------------------------------------------------------------------------------------

bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& content);
// Creates every missing folder of `path`.
bool CreateFolders(const std::string& path);
// Deletes a folder with everything in it; true when it is gone afterwards.
bool DeleteTree(const std::string& path);

// ---- Screenshots --------------------------------------------------------------------------------

// What the screen shows in `rect` (screen coordinates): rows top-down, red, green, blue bytes;
// empty on failure.
std::vector<BYTE> ScreenPixels(const RECT& rect);

// Saves what the screen shows of `window` (null: the whole screen) as <ArtifactsFolder>\<name>.png.
// Returns the file's path, or "" on failure.
std::string SaveScreenshot(HWND window, const std::string& name);
// Writes 24-bit rows (top-down, RGB) as a PNG file.
bool WritePng(const std::string& path, int width, int height, const std::vector<BYTE>& rgb);

}  // namespace cvi::e2e
