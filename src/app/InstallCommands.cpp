// The handlers behind INSTALL, CANCEL and the close command of frmInstall.
#include "app/InstallCommands.h"

#include <cstddef>
#include <exception>

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

// One attempt, from INSTALL to its outcome. However it ends, an unexpected error included, it is
// over afterwards: the window may close, the locked controls are as they were, and an error takes
// back the pointer and a half-written package, so that a new attempt starts clean. While it runs,
// the end of the user's session waits for it and tells why.
class Attempt {
 public:
  explicit Attempt(Installer& in) : in_(in), errorsBefore_(std::uncaught_exceptions()) {
    in_.state.InstallInProgress = true;
    for (std::size_t i = 0; i < kLockedCount; ++i) {
      wasEnabled_[i] = in_.ui.Enabled(kF, kLockedDuringAttempt[i]);
      in_.ui.SetEnabled(kF, kLockedDuringAttempt[i], false);
    }
    in_.ui.BlockSessionEnd(kF, kSessionEndReason);
  }
  ~Attempt() {
    in_.state.InstallInProgress = false;
    // The error that unwinds this attempt is reported by the handler's caller; a second one
    // raised while tidying up would end the process instead.
    try {
      if (std::uncaught_exceptions() > errorsBefore_) {
        in_.os.screen.SetMousePointer(Screen::kDefault);
        if (!downloading_.empty()) {
          in_.os.files.DeleteFile(downloading_);
          in_.os.files.DeleteFile(PartialPathOf(downloading_));
        }
      }
      in_.ui.BlockSessionEnd(kF, "");
      for (std::size_t i = 0; i < kLockedCount; ++i)
        in_.ui.SetEnabled(kF, kLockedDuringAttempt[i], wasEnabled_[i]);
    } catch (...) {
    }
  }
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

  void Downloading(const std::string& path) { downloading_ = path; }
  void Downloaded() { downloading_.clear(); }

 private:
  Installer& in_;
  int errorsBefore_;
  bool wasEnabled_[kLockedCount] = {};
  std::string downloading_;
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
  const std::string packageName =
      std::string(full ? "CelvaraStudio_" : "CelvaraStudio_Upgrade_") + kProductVersion + ".exe";
  attempt.Downloading(s.InstallPath + "\\" + packageName);
  const bool downloaded = full ? DownloadFullPackage(in) : DownloadUpgradePackage(in);
  attempt.Downloaded();
  if (!downloaded)
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

// The flags come first: they end the run even if the message cannot be shown. A running transfer
// stops after its block and deletes its file; a running extraction finishes; then the main loop
// closes every window.
void EndRunOnError(Installer& in, const std::string& what) noexcept {
  in.state.CancelRequested = true;
  in.state.QuitRequested = true;
  try {
    in.os.messageBoxes.Show("The installation stopped because of an unexpected error: " + what,
                            in.state.MessageTitle, mb::kOk | mb::kIconExclamation);
  } catch (...) {
  }
}

}  // namespace cvi
