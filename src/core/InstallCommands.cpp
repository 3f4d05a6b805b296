// The handlers behind INSTALL, CANCEL and the close command of frmInstall.
#include "core/InstallCommands.h"

namespace cvi {

void cmdInstall_Click(Installer&) {
  // The installation sequence is not part of this build yet.
}

// CANCEL only raises flags: the transfer loop and the main loop act on them.
void cmdCancel_Click(Installer& in) {
  in.state.CancelRequested = true;
  if (!in.state.InstallInProgress)
    in.state.QuitRequested = true;
}

bool frmInstall_Form_Unload(Installer& in) {
  if (!in.state.InstallInProgress)
    return false;
  in.os.messageBoxes.Show(
      "Installation in progress. You must 'Cancel'; you cannot unload this process.",
      in.state.MessageTitle, mb::kOk | mb::kIconInformation);
  return true;
}

}  // namespace cvi
