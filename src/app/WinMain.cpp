// The program: sets up the Win32 platform and the windows, then runs the installer.
// First, so that <windows.h> cannot rename the platform interfaces' members.
#include "platform/win32/Win32Platform.h"

#include <commctrl.h>

#include "app/InstallCommands.h"
#include "app/InstallerEvents.h"
#include "app/Main.h"
#include "core/Installer.h"
#include "platform/win32/LeanRuntime.h"
#include "platform/win32/SingleInstance.h"
#include "ui/win32/FormWindow.h"

namespace {

// The installer's one shared state, alive for the whole process.
cvi::InstallerState installerState;

constexpr const char* kSessionClaimName = "Local\\CelvaraStudioInstaller";
// How long a second installer looks for the first one's window: the first may have been started
// a moment earlier (a double double-click) and not show it yet.
constexpr DWORD kFindFirstInstallerMs = 5000;
constexpr const char* kMessageTitle = "CelvaraStudio Install/Upgrade";
constexpr const char* kAlreadyRunning =
    "An installation of CelvaraStudio is already running, perhaps as administrator. Finish it, "
    "or close it, before you start the installer again.";

}  // namespace

const char cvi::win32::kRuntimeFailureTitle[] = "CelvaraStudio Install/Upgrade";
const char cvi::win32::kRuntimeFailureText[] =
    "The installation stopped because of an unexpected error: ";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A second installer shows the first one instead of a window of its own. One that may not even
  // open the first one's claim (that one runs as administrator) cannot be sure to bring it forward
  // and says why it ends.
  using cvi::win32::SessionClaim;
  SessionClaim claim(kSessionClaimName);
  if (claim.HeldBy() == SessionClaim::Holder::AnotherOutOfReach) {
    MessageBoxA(nullptr, kAlreadyRunning, kMessageTitle, MB_OK | MB_ICONINFORMATION);
    cvi::win32::BringOtherInstanceToFront(cvi::win32::kFormWindowClass, 0);
    return 0;
  }
  if (claim.HeldBy() == SessionClaim::Holder::Another) {
    cvi::win32::BringOtherInstanceToFront(cvi::win32::kFormWindowClass, kFindFirstInstallerMs);
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  using namespace cvi::win32;
  Win32Screen screen;
  Win32FormView view(instance, screen);
  cvi::Forms forms(view);
  view.Attach(forms);

  Win32FileSystem files;
  Win32Registry registry;
  Win32Internet internet;
  Win32MessageBoxes messageBoxes(view);
  Win32EventPump events(&view);
  Win32Processes processes;
  Win32FolderBrowser folderBrowser(&view);
  Win32Windows windows;
  Win32Clipboard clipboard;
  Win32Keyboard keyboard;
  cvi::Platform platform{files,  registry,      internet, messageBoxes, events,  processes,
                         screen, folderBrowser, windows,  clipboard,    keyboard};

  cvi::Installer installer{installerState, forms, platform};
  cvi::InstallerEvents handlers(installer);
  forms.SetEvents(&handlers);
  cvi::Main(installer);
  forms.SetEvents(nullptr);
  return 0;
}
