// Drives the package's self-extractor the way a user would: paste the folder, Alt+U, Enter, Alt+C.
// Every wait is a counted loop of pauses; the outcome rests on the windows seen, on the folder the
// dialog shows before it unzips, and on the log file that the package drops into the installation
// folder.
//
// A dialog that offers its own controls is driven through them: the folder goes straight into its
// focused field and its buttons are clicked, which needs neither the foreground, nor a keyboard
// layout, nor the clipboard. Only a dialog without such controls gets keystrokes, delivered to its
// own thread, and the folder then travels through the clipboard.
#include "extract/SelfExtractor.h"

#include <cctype>
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

  // The package file and nothing else: quoted, so that a folder with spaces cannot make the
  // platform run another program (C:\Program.exe for C:\Program Files\...).
  Processes::StartError startError;
  if (!os.processes.Start(PackagePath, "\"" + PackagePath + "\"", kNormalActivatedWindow,
                          &startError)) {
    Tell(in, StartFailureMessage(PackagePath, startError), mb::kIconExclamation);
    return kFalse;
  }
  package.reset();

  double counter = 0;
  for (;;) {
    const bool timedOut = counter >= 5;
    if (FindWindowByTitle(windows, dialog, kSelfExtractorTitlePart) != 0 || timedOut)
      break;
    os.events.WaitMilliseconds(50);
    counter += 0.05;
  }
  if (dialog == 0) {
    Tell(in, "Timeout waiting for self-extracting EXE to start: " + PackagePath,
         mb::kIconExclamation);
    return kFalse;
  }

  const Windows::Handle unzipButton = ButtonFor(windows, dialog, kUnzipMnemonic);
  const bool keystrokes = unzipButton == 0;
  Windows::Handle field = 0;
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
    field = windows.FocusedField(dialog);
    if (!keystrokes && field != 0)
      windows.SetControlText(field, ExtractTargetDir);
    else if (keystrokes && clipboard.Ready())
      SendKeysTo(in, dialog, kPasteKeys);
    os.events.WaitMilliseconds(50);
    clipboard.GiveBack(os.events);
  }

  windows.BringToFront(dialog);
  os.events.WaitMilliseconds(50);
  // Never unzip into a folder the installer did not choose: whatever the field shows now is where
  // the files would go. The dialog stays open for the user.
  std::string shown;
  if (field == 0 || !windows.ControlText(field, &shown) ||
      !SameFolder(os.files, shown, ExtractTargetDir)) {
    Tell(in, kUnzipFailedMessage, mb::kIconExclamation);
    return kFalse;
  }
  Press(in, dialog, unzipButton, kUnzipKeys);

  const int savedPointer = os.screen.MousePointer();
  os.screen.SetMousePointer(Screen::kHourglass);

  counter = 0;
  for (;;) {
    const bool absent = windows.FindExact(kSelfExtractorMessageTitle) == 0;
    const bool inTime = counter < 50;
    if (!(absent && inTime))
      break;
    os.events.WaitMilliseconds(100);
    counter += 0.1;
  }
  const Windows::Handle message = windows.FindExact(kSelfExtractorMessageTitle);
  if (message == 0) {
    Tell(in,
         "Timeout of 50 seconds waiting for finish of the Unzip of self-extracting EXE: " +
             PackagePath,
         mb::kIconExclamation);
    os.screen.SetMousePointer(savedPointer);
    return kFalse;
  }
  os.screen.SetMousePointer(savedPointer);

  // The log file is looked for in InstallPath: that is where the product must be.
  if (os.files
          .FindEntry(in.state.InstallPath + "\\" + ExtractLogFileName(in.state),
                     EntryKind::OrdinaryFile)
          .empty()) {
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
    const bool present = windows.FindExact(kSelfExtractorMessageTitle) != 0;
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
    if (FindWindowByTitle(windows, dialog, kSelfExtractorTitlePart) == 0 || timedOut)
      break;
    os.events.WaitMilliseconds(100);
    counter += 0.1;
  }

  os.events.WaitMilliseconds(100);
  return kTrue;
}

}  // namespace cvi
