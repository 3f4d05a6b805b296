// "Change Drive or Path": the folder dialog, then validation of the chosen folder.
#include "target/ChangePath.h"

#include <string>

#include "target/ValidateInstallPath.h"

namespace cvi {
namespace {

// Whether a folder chosen now may still become the installation path: not once the user closed
// frmInstall or asked to stop, nor under or after an installation.
bool ChoiceStillWanted(const Installer& in) {
  const InstallerState& s = in.state;
  return in.ui.IsLoaded(Form::frmInstall) && !s.CancelRequested && !s.QuitRequested &&
         !s.InstallInProgress && !s.InstallCompleted;
}

// Marks the dialog and its validation as running for as long as the handler runs.
class ChangeScope {
 public:
  explicit ChangeScope(InstallerState& s) : s_(s) { s_.ChangeInProgress = true; }
  ~ChangeScope() { s_.ChangeInProgress = false; }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  InstallerState& s_;
};

}  // namespace

void cmdChange_Click(Installer& in) {
  // The path must not change under a running installation, and one dialog at a time is enough.
  if (in.state.InstallInProgress || in.state.ChangeInProgress)
    return;
  ChangeScope scope(in.state);
  in.ui.SetVisible(Form::frmInstall, Ctl::lblPathError, false);
  const std::string chosen = in.os.folderBrowser.BrowseForFolder(
      "Choose CelvaraStudio Installation Path", "C:\\", [&in] { return ChoiceStillWanted(in); });
  if (chosen.empty() || !ChoiceStillWanted(in))
    return;
  if (ValidateInstallPath(in, chosen)) {
    in.ui.SetCaption(Form::frmInstall, Ctl::txtInstallPath, in.state.InstallPath);
  }
}

}  // namespace cvi
