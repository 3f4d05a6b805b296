// Drives the package's self-extractor the way a user would: paste the folder, Alt+U, Enter, Alt+C.
// Every wait is a counted loop of pauses; the outcome rests on the windows seen, on the folder the
// dialog shows before it unzips, and on the log file that the package drops into the installation
// folder.
//
// A dialog that offers its own controls is driven through them: the folder goes straight into its
// one text field and its buttons are clicked, which needs neither the foreground, nor a keyboard
// layout, nor the clipboard. Only a dialog without such controls gets keystrokes, delivered to its
// own thread, and the folder then travels through the clipboard.
#include "extract/SelfExtractor.h"

#include <cctype>
#include <memory>
#include <vector>

#include "extract/WindowSearch.h"

namespace cvi {
namespace {

constexpr int kNormalActivatedWindow = 1;
constexpr const char* kPasteKeys = "^(v)";
constexpr const char* kUnzipKeys = "%(u)";
constexpr const char* kConfirmKey = "\r";
constexpr const char* kCloseKeys = "%(c)";
constexpr char kUnzipMnemonic = 'U';
constexpr char kCloseMnemonic = 'C';
// Bringing a window up can lag behind the request; a few short retries before a key is withheld.
constexpr int kFrontTries = 10;
constexpr int kFrontRetryMs = 50;
// Another program may hold the clipboard for a while; the user's content is put back as soon as
// it lets go, trying for about six seconds.
constexpr int kGiveBackTries = 20;
constexpr int kGiveBackRetryMs = 100;

// Keys go only to the window they are meant for: if it cannot be made the foreground window, the
// step sends nothing and the later checks report the failure. The keys themselves are delivered
// to that window's thread, so that a window taking the foreground in between gets none of them.
void SendKeysTo(Installer& in, Windows::Handle window, const char* keys) {
  Windows& windows = in.os.windows;
  for (int tries = 1; windows.Foreground() != window; ++tries) {
    if (tries == kFrontTries)
      return;
    windows.BringToFront(window);
    if (windows.Foreground() != window)
      in.os.events.WaitMilliseconds(kFrontRetryMs);
  }
  in.os.keyboard.SendTo(window, keys);
}

// The letter that a caption's "&" marks, upper-case ("&&" stands for a plain "&"); 0 when none.
char MnemonicOf(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&')
      continue;
    if (caption[i + 1] != '&')
      return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    ++i;
  }
  return 0;
}

// The button of `window` that Alt+`letter` would press; 0 when it offers none.
Windows::Handle ButtonFor(Windows& windows, Windows::Handle window, char letter) {
  for (const Windows::Button& button : windows.Buttons(window)) {
    if (MnemonicOf(button.caption) == letter)
      return button.handle;
  }
  return 0;
}

// Presses the button when the window offers it, else sends the keys that would.
void Press(Installer& in, Windows::Handle window, Windows::Handle button, const char* keys) {
  if (button != 0)
    in.os.windows.Click(button);
  else
    SendKeysTo(in, window, keys);
}

// Folder names compare letter case aside, but never inside a double-byte character, whose second
// byte may look like a letter.
bool SameFolder(FileSystem& files, const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (files.IsLeadByte(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1])
        return false;
      ++i;
    } else if (std::toupper(x) != std::toupper(y)) {
      return false;
    }
  }
  return true;
}

// The folder's way through the clipboard on the keystroke route. The user's whole content is
// taken first, or the clipboard is left alone and nothing is pasted; it is put back after the
// paste, waiting a while for another program that holds the clipboard just then.
class ClipboardLoan {
 public:
  explicit ClipboardLoan(Clipboard& clipboard) : clipboard_(clipboard) {}
  ~ClipboardLoan() {
    if (taken_)
      clipboard_.Restore(saved_);
  }
  ClipboardLoan(const ClipboardLoan&) = delete;
  ClipboardLoan& operator=(const ClipboardLoan&) = delete;

  void Take() { taken_ = clipboard_.Take(&saved_); }
  void Put(const std::string& text) { ready_ = taken_ && clipboard_.SetText(text); }
  // True when the clipboard holds the text that Put was given.
  bool Ready() const { return ready_; }
  void GiveBack(EventPump& events) {
    if (!taken_)
      return;
    for (int tries = 1; !clipboard_.Restore(saved_) && tries < kGiveBackTries; ++tries)
      events.WaitMilliseconds(kGiveBackRetryMs);
    taken_ = ready_ = false;
  }

 private:
  Clipboard& clipboard_;
  std::vector<ClipboardFormat> saved_;
  bool taken_ = false;
  bool ready_ = false;
};

void Tell(Installer& in, const std::string& text, std::uint32_t icon) {
  in.os.messageBoxes.Show(text, in.state.MessageTitle, mb::kOk | icon);
}

std::string ExtractLogFileName(const InstallerState& s) {
  return std::string(s.UpgradeMode ? "CVUpgrade_" : "CVInstall_") + kProductVersion + ".txt";
}

constexpr const char* kUnzipFailedMessage =
    "Automatic Unzip of self-extracting EXE Failed. Check the Winzip Self-extractor message "
    "that is displayed.\r\rIf you are able to complete the unZip, locate the CelvaraStudio.exe "
    "file in the installation path and double-click it, to Start CelvaraStudio.";

constexpr const char* kLogInUseMessage =
    "The log file of an earlier installation cannot be set aside, so this installation could not "
    "be checked. Please close any program that has it open, then try again:\r\r";

constexpr const char* kStaleDialogMessage =
    "A WinZip Self-Extractor window is already open, perhaps left from an earlier attempt.\r\r"
    "Close that window, then try again.";

// The system's reason in plain words; the one that users meet most gets a sentence of its own.
std::string StartFailureMessage(const std::string& PackagePath,
                                const Processes::StartError& error) {
  std::string reason = error.reason;
  if (error.code == Processes::StartError::kElevationRequired)
    reason = "The package asks for administrator rights, which this installer does not have.";
  else if (reason.empty())
    reason = "Windows gives no reason.";
  return "The self-extracting EXE could not be started: " + PackagePath + "\r\r" + reason +
         " (error " + std::to_string(error.code) + ")";
}

// Why a wait ended before its time: the package's process was gone.
std::string EndedCause(bool ended, std::uint32_t exitCode) {
  if (!ended)
    return "";
  return "\r\rThe self-extracting EXE has ended (exit code " + std::to_string(exitCode) + ").";
}

// The log file of an earlier installation is set aside before the package starts, so that only a
// log written by this run counts. A run that brings no log of its own gets the old one back, so
// that the folder is as it was; otherwise the old one goes.
class FreshLog {
 public:
  FreshLog(FileSystem& files, const std::string& path)
      : files_(files), path_(path), aside_(path + ".previous") {}
  ~FreshLog() {
    if (!setAside_)
      return;
    if (Arrived())
      files_.DeleteFile(aside_);
    else
      files_.RenameFile(aside_, path_);
  }
  FreshLog(const FreshLog&) = delete;
  FreshLog& operator=(const FreshLog&) = delete;

  // False when an earlier log is there and cannot be set aside.
  bool SetAside() {
    if (!Arrived())
      return true;
    setAside_ = files_.RenameFile(path_, aside_) == FileError::None;
    return setAside_;
  }
  bool Arrived() { return !files_.FindEntry(path_, EntryKind::OrdinaryFile).empty(); }
  const std::string& Path() const { return path_; }

 private:
  FileSystem& files_;
  const std::string path_;
  const std::string aside_;
  bool setAside_ = false;
};

// Controls may appear after the title. The route is chosen once the dialog shows a text field
// and its Unzip button, or its controls have stayed the same from one look to the next, or five
// seconds after the title: a package slow to start must not leave its controls less time.
void WaitUntilComplete(Installer& in, Windows::Handle dialog) {
  Windows& windows = in.os.windows;
  std::vector<Windows::Handle> seen;
  double counter = 0;
  for (bool first = true;; first = false) {
    std::vector<Windows::Handle> controls = windows.TextFields(dialog);
    const bool ready = !controls.empty() && ButtonFor(windows, dialog, kUnzipMnemonic) != 0;
    for (const Windows::Button& button : windows.Buttons(dialog))
      controls.push_back(button.handle);
    const bool steady = !first && !controls.empty() && controls == seen;
    if (ready || steady || counter >= 5)
      return;
    seen = std::move(controls);
    in.os.events.WaitMilliseconds(50);
    counter += 0.05;
  }
}

}  // namespace

std::int16_t RunSelfExtractor(Installer& in,
                              const std::string& PackagePath,
                              const std::string& ExtractTargetDir) {
  constexpr std::int16_t kTrue = -1, kFalse = 0;
  Platform& os = in.os;
  Windows& windows = os.windows;
  // Held since the download verified it; let go once its process has started, whatever happens.
  std::unique_ptr<HeldFile> package = std::move(in.state.HeldPackage);

  if (os.files.FindEntry(PackagePath, EntryKind::OrdinaryFile).empty()) {
    Tell(in, "Unzip EXE does not exist: " + PackagePath, mb::kIconInformation);
    return kFalse;
  }

  // Only our own dialog is driven: one left open from an earlier attempt would be found in its
  // place, and it holds its package open.
  Windows::Handle dialog = 0;
  if (FindWindowByTitle(windows, dialog, kSelfExtractorTitlePart) != 0) {
    Tell(in, kStaleDialogMessage, mb::kIconExclamation);
    return kFalse;
  }

  // The log file is looked for in InstallPath: that is where the product must be.
  FreshLog log(os.files, in.state.InstallPath + "\\" + ExtractLogFileName(in.state));
  if (!log.SetAside()) {
    Tell(in, kLogInUseMessage + log.Path(), mb::kIconExclamation);
    return kFalse;
  }

  // The package file and nothing else: quoted, so that a folder with spaces cannot make the
  // platform run another program (C:\Program.exe for C:\Program Files\...).
  Processes::StartError startError;
  const std::unique_ptr<RunningProcess> process = os.processes.Launch(
      PackagePath, "\"" + PackagePath + "\"", kNormalActivatedWindow, os.events, &startError);
  if (!process) {
    Tell(in, StartFailureMessage(PackagePath, startError), mb::kIconExclamation);
    return kFalse;
  }
  package.reset();
  // Only the package's own windows count: another program's of the same title is never driven.
  const std::uint32_t pid = process->Id();
  std::uint32_t exitCode = 0;
  bool ended = false;

  double counter = 0;
  for (;;) {
    const bool timedOut = counter >= 5;
    dialog = FindOwnWindow(windows, pid, kSelfExtractorTitlePart, TitleMatch::Contains);
    if (dialog != 0 || timedOut || (ended = process->Ended(&exitCode)))
      break;
    os.events.WaitMilliseconds(50);
    counter += 0.05;
  }
  if (dialog == 0) {
    Tell(in,
         "Timeout waiting for self-extracting EXE to start: " + PackagePath +
             EndedCause(ended, exitCode),
         mb::kIconExclamation);
    return kFalse;
  }

  WaitUntilComplete(in, dialog);
  // With more than one field the folder could go into one and the unzip read another. The dialog
  // stays open for the user.
  const std::vector<Windows::Handle> fields = windows.TextFields(dialog);
  if (fields.size() != 1) {
    Tell(in, kUnzipFailedMessage, mb::kIconExclamation);
    return kFalse;
  }
  const Windows::Handle field = fields[0];
  const Windows::Handle unzipButton = ButtonFor(windows, dialog, kUnzipMnemonic);
  const bool keystrokes = unzipButton == 0;
  {
    ClipboardLoan clipboard(os.clipboard);
    if (keystrokes)
      clipboard.Take();
    os.events.DoEvents();
    os.events.WaitMilliseconds(100);
    if (keystrokes)
      clipboard.Put(ExtractTargetDir);
    os.events.DoEvents();
    os.events.WaitMilliseconds(100);

    windows.BringToFront(dialog);
    os.events.WaitMilliseconds(50);
    if (!keystrokes)
      windows.SetControlText(field, ExtractTargetDir);
    else if (clipboard.Ready())
      SendKeysTo(in, dialog, kPasteKeys);
    os.events.WaitMilliseconds(50);
    clipboard.GiveBack(os.events);
  }

  windows.BringToFront(dialog);
  os.events.WaitMilliseconds(50);
  // Never unzip into a folder the installer did not choose: whatever the field shows now is where
  // the files would go. The dialog stays open for the user.
  std::string shown;
  if (!windows.ControlText(field, &shown) || !SameFolder(os.files, shown, ExtractTargetDir)) {
    Tell(in, kUnzipFailedMessage, mb::kIconExclamation);
    return kFalse;
  }
  Press(in, dialog, unzipButton, kUnzipKeys);

  const int savedPointer = os.screen.MousePointer();
  os.screen.SetMousePointer(Screen::kHourglass);

  // A self-extractor that dies on the way is not waited for.
  counter = 0;
  Windows::Handle message = 0;
  for (;;) {
    message = FindOwnWindow(windows, pid, kSelfExtractorMessageTitle, TitleMatch::Exact);
    const bool inTime = counter < 50;
    if (message != 0 || !inTime || (ended = process->Ended(&exitCode)))
      break;
    os.events.WaitMilliseconds(100);
    counter += 0.1;
  }
  if (message == 0)
    message = FindOwnWindow(windows, pid, kSelfExtractorMessageTitle, TitleMatch::Exact);
  if (message == 0) {
    Tell(in,
         "Timeout of 50 seconds waiting for finish of the Unzip of self-extracting EXE: " +
             PackagePath + EndedCause(ended, exitCode),
         mb::kIconExclamation);
    os.screen.SetMousePointer(savedPointer);
    return kFalse;
  }
  os.screen.SetMousePointer(savedPointer);

  // Only a log written by this run proves the unzip: an earlier one was set aside.
  if (!log.Arrived()) {
    Tell(in, kUnzipFailedMessage, mb::kIconExclamation);
    os.screen.SetMousePointer(savedPointer);
    return kFalse;
  }

  os.events.WaitMilliseconds(100);
  windows.BringToFront(message);
  os.events.WaitMilliseconds(100);
  counter = 0;
  Press(in, message, windows.DefaultButton(message), kConfirmKey);
  for (;;) {
    const bool present =
        FindOwnWindow(windows, pid, kSelfExtractorMessageTitle, TitleMatch::Exact) != 0;
    const bool inTime = counter < 3;
    if (!(present && inTime))
      break;
    os.events.WaitMilliseconds(100);
    counter += 0.1;
  }

  os.events.DoEvents();
  os.events.WaitMilliseconds(200);
  os.events.DoEvents();
  windows.BringToFront(dialog);
  os.events.WaitMilliseconds(100);
  Press(in, dialog, ButtonFor(windows, dialog, kCloseMnemonic), kCloseKeys);
  os.events.DoEvents();

  counter = 0;
  for (;;) {
    const bool timedOut = counter >= 2;
    if (FindOwnWindow(windows, pid, kSelfExtractorTitlePart, TitleMatch::Contains) == 0 || timedOut)
      break;
    os.events.WaitMilliseconds(100);
    counter += 0.1;
  }

  os.events.WaitMilliseconds(100);
  return kTrue;
}

}  // namespace cvi
