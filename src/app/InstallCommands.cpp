// The handlers behind INSTALL, CANCEL and the close command of frmInstall.
#include "app/InstallCommands.h"

#include <cstddef>

#include "download/PackageRequest.h"
#include "extract/SelfExtractor.h"
#include "target/ValidateInstallPath.h"

namespace cvi {
namespace {

constexpr Form kF = Form::frmInstall;
constexpr std::int16_t kTrue = -1;
// What could start a second attempt or change the path under the running one.
constexpr Ctl kLockedDuringAttempt[] = {Ctl::cmdInstall, Ctl::cmdChange, Ctl::txtInstallPath};
constexpr std::size_t kLockedCount = sizeof(kLockedDuringAttempt) / sizeof(kLockedDuringAttempt[0]);
constexpr const char* kSessionEndReason = "CelvaraStudio is being installed";

// One attempt, from INSTALL to its outcome. However it ends, it is over afterwards: the window may
// close and the locked controls are as they were. While it runs, the end of the user's session
// waits for it and tells why.
class Attempt {
 public:
  explicit Attempt(Installer& in) : in_(in) {
    in_.state.InstallInProgress = true;
    for (std::size_t i = 0; i < kLockedCount; ++i) {
      wasEnabled_[i] = in_.ui.Enabled(kF, kLockedDuringAttempt[i]);
      in_.ui.SetEnabled(kF, kLockedDuringAttempt[i], false);
    }
    in_.ui.BlockSessionEnd(kF, kSessionEndReason);
  }
  ~Attempt() {
    in_.state.InstallInProgress = false;
    in_.ui.BlockSessionEnd(kF, "");
    for (std::size_t i = 0; i < kLockedCount; ++i)
      in_.ui.SetEnabled(kF, kLockedDuringAttempt[i], wasEnabled_[i]);
  }
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

 private:
  Installer& in_;
  bool wasEnabled_[kLockedCount] = {};
};

// The package cannot replace a program that is running: before anything is downloaded, the user
// is asked to close it.
bool ProductInUse(Installer& in) {
  const std::string program = in.state.InstallPath + "\\" + kProductExeName;
  if (in.os.files.FindEntry(program, EntryKind::OrdinaryFile).empty() ||
      in.os.files.TryOpenForWriting(program) != FileError::InUse)
    return false;
  in.os.messageBoxes.Show("CelvaraStudio is in use: " + program +
                              "\r\rPlease close CelvaraStudio, then try again. Nothing has been "
                              "downloaded or changed.",
                          in.state.MessageTitle, mb::kOk | mb::kIconExclamation);
  return true;
}

}  // namespace

// A second attempt must never start inside a running one, nor while the folder dialog may still
// change the path.
void cmdInstall_Click(Installer& in) {
  if (in.state.InstallInProgress || in.state.ChangeInProgress)
    return;
  InstallSequence(in);
}

void InstallSequence(Installer& in) {
  InstallerState& s = in.state;
  Forms& ui = in.ui;
  Attempt attempt(in);
  ui.SetVisible(kF, Ctl::lblDownLoadError, false);

  if (s.FullInstallMode) {
    const std::string typed = ui.Caption(kF, Ctl::txtInstallPath);
    if (!ValidateInstallPath(in, typed, ui.AlteredByCodePage(kF, Ctl::txtInstallPath)))
      return;
  }
  if (ProductInUse(in))
    return;

  // Validation may have turned the attempt into an upgrade.
  const bool full = s.FullInstallMode;
  ui.SetCaption(kF, Ctl::lblSize,
                full ? "(Download size is approximatly 2500000 -- 2.5mb)"
                     : "(Download size is approximatly 400K)");
  if (!(full ? DownloadFullPackage(in) : DownloadUpgradePackage(in)))
    return;

  ui.SetVisible(kF, Ctl::lblDLcomplete, true);
  ui.SetVisible(kF, Ctl::lblInProcess, true);
  s.ExtractTargetDir = s.InstallPath;
  s.PackagePath = s.InstallPath + "\\" + (full ? s.FullPackageName : s.UpgradePackageName);
  s.ExtractResult = RunSelfExtractor(in, s.PackagePath, s.ExtractTargetDir);
  ui.SetCaption(kF, Ctl::lblInProcess, ExtractionOutcome(s.ExtractResult));
  if (s.ExtractResult == kTrue)
    s.InstallCompleted = true;
}

const char* ExtractionOutcome(std::int16_t ExtractResult) {
  return ExtractResult == kTrue ? "COMPLETE" : "FAILED";
}

// CANCEL only raises flags: the transfer loop and the main loop act on them.
void cmdCancel_Click(Installer& in) {
  in.state.CancelRequested = true;
  if (!in.state.InstallInProgress)
    in.state.QuitRequested = true;
}

// The process may be ended as soon as the session-end message is answered, before the transfer
// sees anything: the temporary file of either package goes now. Opened for writing, it still
// lets itself be deleted, and disappears when the process ends.
void frmInstall_SessionEnding(Installer& in) {
  const InstallerState& s = in.state;
  if (!s.InstallInProgress)
    return;
  for (const std::string* name : {&s.FullPackageName, &s.UpgradePackageName}) {
    if (!name->empty())
      in.os.files.DeleteFile(PartialPathOf(s.InstallPath + "\\" + *name));
  }
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
