// Routes the windows' events to their handlers.
#include "core/InstallerEvents.h"

#include "core/InstallCommands.h"
#include "launch/CompletionWindows.h"
#include "target/ChangePath.h"

namespace cvi {

void InstallerEvents::Click(Form form, Ctl ctl) {
  switch (ctl) {
    case Ctl::cmdInstall:
      return cmdInstall_Click(in_);
    case Ctl::cmdCancel:
      return cmdCancel_Click(in_);
    case Ctl::cmdChange:
      return cmdChange_Click(in_);
    case Ctl::cmdLaunch:
      return cmdLaunch_Click(in_);
    case Ctl::cmdExit:
      return cmdExit_Click(in_);
    case Ctl::cmdFinish:
      return cmdFinish_Click(in_);
    default:
      (void)form;
      return;
  }
}

bool InstallerEvents::Unload(Form form) {
  if (form == Form::frmInstall)
    return frmInstall_Form_Unload(in_);
  LaunchWindow_Form_Unload(in_);
  return false;
}

}  // namespace cvi
