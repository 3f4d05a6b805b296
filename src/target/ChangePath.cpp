// "Change Drive or Path": the folder dialog, then validation of the chosen folder.
#include "target/ChangePath.h"

#include <string>

#include "target/ValidateInstallPath.h"

namespace cvi {

void cmdChange_Click(Installer& in) {
  // The path must not change under a running installation.
  if (in.state.InstallInProgress)
    return;
  in.ui.SetVisible(Form::frmInstall, Ctl::lblPathError, false);
  const std::string chosen =
      in.os.folderBrowser.BrowseForFolder("Choose CelvaraStudio Installation Path", "C:\\");
  if (chosen.empty())
    return;
  // The dialog has no owner, so frmInstall takes clicks while it is open: an installation may
  // have run, or the user may have cancelled, before the choice came back. Neither may be undone.
  if (in.state.InstallInProgress || in.state.InstallCompleted || in.state.CancelRequested)
    return;
  if (ValidateInstallPath(in, chosen)) {
    in.ui.SetCaption(Form::frmInstall, Ctl::txtInstallPath, in.state.InstallPath);
  }
}

}  // namespace cvi
