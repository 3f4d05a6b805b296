// Routes the windows' events to their handlers.
#include "app/InstallerEvents.h"

#include "app/InstallCommands.h"
#include "launch/CompletionWindows.h"
#include "target/ChangePath.h"

namespace cvi {
namespace {

void Dispatch(Installer& in, Ctl ctl) {
  switch (ctl) {
    case Ctl::cmdInstall:
      return cmdInstall_Click(in);
    case Ctl::cmdCancel:
      return cmdCancel_Click(in);
    case Ctl::cmdChange:
      return cmdChange_Click(in);
    case Ctl::cmdLaunch:
      return cmdLaunch_Click(in);
    case Ctl::cmdExit:
      return cmdExit_Click(in);
    case Ctl::cmdFinish:
      return cmdFinish_Click(in);
    default:
      return;
  }
}

}  // namespace

void InstallerEvents::Click(Form, Ctl ctl) {
  Dispatch(in_, ctl);
}

bool InstallerEvents::Unload(Form form) {
  if (form == Form::frmInstall)
    return frmInstall_Form_Unload(in_);
  LaunchWindow_Form_Unload(in_);
  return false;
}

// The process may end as soon as this returns.
void InstallerEvents::SessionEnding() {
  frmInstall_SessionEnding(in_);
}

}  // namespace cvi
