// The main loop: the only place where windows are exchanged, the product started and the run ended.
#include <string>

#include "app/Main.h"

namespace cvi {
namespace {

constexpr int kNormalActivatedWindow = 1;

void CloseCompletionWindows(Forms& ui) {
  ui.Hide(Form::frmLaunch);
  ui.Unload(Form::frmLaunch);
  ui.Hide(Form::frmLaunchFull);
  ui.Unload(Form::frmLaunchFull);
}

void ShowCompletionWindow(Installer& in) {
  Forms& ui = in.ui;
  ui.Hide(Form::frmInstall);
  ui.Unload(Form::frmInstall);
  const Form window = in.state.UpgradeMode ? Form::frmLaunch : Form::frmLaunchFull;
  ui.Load(window);
  ui.SetCaption(window, Ctl::lblVersion, ui.Caption(window, Ctl::lblVersion) + kProductVersion);
  ui.Show(window);
}

// The program path goes to the platform on its own and quoted in the command line, so that a
// folder with spaces can never make it run a different program (C:\Program.exe for
// C:\Program Files\...). The product still gets its folder, in quotes, as its one argument.
void StartProduct(Installer& in) {
  const std::string& folder = in.state.InstallPath;
  const std::string program = folder + "\\" + kProductExeName;
  const std::string commandLine = "\"" + program + "\" \"" + folder + "\"";
  if (!in.os.processes.Start(program, commandLine, kNormalActivatedWindow)) {
    in.os.messageBoxes.Show("CelvaraStudio could not be started: " + program, in.state.MessageTitle,
                            mb::kOk | mb::kIconExclamation);
  }
}

}  // namespace

void MainLoop(Installer& in) {
  InstallerState& s = in.state;
  Forms& ui = in.ui;
  for (;;) {
    in.os.events.WaitMilliseconds(100);
    if (s.CancelRequested || s.QuitRequested) {
      ui.Hide(Form::frmInstall);
      ui.Unload(Form::frmInstall);
      // Only an unexpected error can end the run while a completion window is up.
      CloseCompletionWindows(ui);
      return;
    }
    if (s.InstallCompleted) {
      s.InstallCompleted = false;
      ShowCompletionWindow(in);
      continue;
    }
    if (s.LaunchWindowClosed) {
      CloseCompletionWindows(ui);
      return;
    }
    if (s.LaunchRequested) {
      StartProduct(in);
      CloseCompletionWindows(ui);
      return;
    }
    // The user closed the last window with its close button: nothing is left to act on.
    if (!ui.AnyLoaded())
      return;
  }
}

}  // namespace cvi
