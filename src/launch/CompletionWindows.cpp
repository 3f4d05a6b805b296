// The handlers of the two completion windows: they check the product and raise flags.
#include "launch/CompletionWindows.h"

#include <string>

namespace cvi {
namespace {

void RequestLaunch(Installer& in, const char* missingPrefix) {
  const std::string exePath = in.state.InstallPath + "\\" + kProductExeName;
  // Case-sensitive on purpose: the name must be the one the package delivers.
  if (in.os.files.FindEntry(exePath, EntryKind::OrdinaryFile) == kProductExeName) {
    in.state.LaunchRequested = true;
    return;
  }
  in.os.messageBoxes.Show(missingPrefix + exePath, in.state.MessageTitle,
                          mb::kOk | mb::kIconExclamation);
}

}  // namespace

void cmdLaunch_Click(Installer& in) {
  RequestLaunch(in, "Celvarastudio EXE not found: ");
}

void cmdFinish_Click(Installer& in) {
  RequestLaunch(in, "Celvarastudio EXE not found:  ");
}

void cmdExit_Click(Installer& in) {
  in.state.LaunchWindowClosed = true;
}

void LaunchWindow_Form_Unload(Installer& in) {
  in.state.LaunchWindowClosed = true;
}

}  // namespace cvi
