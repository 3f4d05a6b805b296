// Routes the windows' events to their handlers.
#include "app/InstallerEvents.h"

#include <exception>

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

// A handler's unexpected error leaves the run in a state nobody designed, so the run ends.
void InstallerEvents::Click(Form, Ctl ctl) {
  try {
    Dispatch(in_, ctl);
  } catch (const std::exception& e) {
    EndRunOnError(in_, e.what());
  } catch (...) {
    EndRunOnError(in_, "unknown error");
  }
}

bool InstallerEvents::Unload(Form form) {
  try {
    if (form == Form::frmInstall)
      return frmInstall_Form_Unload(in_);
    LaunchWindow_Form_Unload(in_);
    return false;
  } catch (const std::exception& e) {
    EndRunOnError(in_, e.what());
  } catch (...) {
    EndRunOnError(in_, "unknown error");
  }
  // A running attempt keeps its window until it has returned; the main loop then closes it.
  return in_.state.InstallInProgress;
}

void InstallerEvents::Failed(const std::string& what) {
  EndRunOnError(in_, what);
}

// Nothing may escape into the system's code, and there is no time left to tell anybody.
void InstallerEvents::SessionEnding() {
  try {
    frmInstall_SessionEnding(in_);
  } catch (...) {
  }
}

}  // namespace cvi
