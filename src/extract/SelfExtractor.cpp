// Drives the package's self-extractor the way a user would: paste the folder, Alt+U, Enter, Alt+C.
// Every wait is a counted loop of pauses; the outcome rests on the windows seen and on the log file
// that the package drops into the installation folder.
#include "extract/SelfExtractor.h"

#include "extract/WindowSearch.h"

namespace cvi {
namespace {

constexpr int kNormalActivatedWindow = 1;
constexpr const char* kPasteKeys = "^(v)";
constexpr const char* kUnzipKeys = "%(u)";
constexpr const char* kConfirmKey = "\r";
constexpr const char* kCloseKeys = "%(c)";
// Bringing a window up can lag behind the request; a few short retries before a key is withheld.
constexpr int kFrontTries = 10;
constexpr int kFrontRetryMs = 50;

// Keys go only to the window they are meant for: if it cannot be made the foreground window, the
// step sends nothing and the later checks report the failure. The user's own windows never get
// the installer's keys.
void SendKeysTo(Installer& in, Windows::Handle window, const char* keys) {
  Windows& windows = in.os.windows;
  for (int tries = 1; windows.Foreground() != window; ++tries) {
    if (tries == kFrontTries)
      return;
    windows.BringToFront(window);
    if (windows.Foreground() != window)
      in.os.events.WaitMilliseconds(kFrontRetryMs);
  }
  in.os.keyboard.Send(keys);
}

// The user's clipboard text comes back once the folder has been pasted, whichever way the
// procedure is left.
class ClipboardKeeper {
 public:
  explicit ClipboardKeeper(Clipboard& clipboard)
      : clipboard_(clipboard), hadText_(clipboard.GetText(&text_)) {}
  ~ClipboardKeeper() { Restore(); }
  ClipboardKeeper(const ClipboardKeeper&) = delete;
  ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;
  void Restore() {
    if (restored_)
      return;
    restored_ = true;
    if (hadText_)
      clipboard_.SetText(text_);
    else
      clipboard_.Clear();
  }

 private:
  Clipboard& clipboard_;
  std::string text_;
  bool hadText_;
  bool restored_ = false;
};

void Tell(Installer& in, const std::string& text, std::uint32_t icon) {
  in.os.messageBoxes.Show(text, in.state.MessageTitle, mb::kOk | icon);
}

std::string ExtractLogFileName(const InstallerState& s) {
  return std::string(s.UpgradeMode ? "CVUpgrade_" : "CVInstall_") + kProductVersion + ".txt";
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

  // The package file and nothing else: quoted, so that a folder with spaces cannot make the
  // platform run another program (C:\Program.exe for C:\Program Files\...).
  os.processes.Start(PackagePath, "\"" + PackagePath + "\"", kNormalActivatedWindow);
  package.reset();

  Windows::Handle dialog = 0;
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

  {
    ClipboardKeeper userClipboard(os.clipboard);
    os.clipboard.Clear();
    os.events.DoEvents();
    os.events.WaitMilliseconds(100);
    os.clipboard.SetText(ExtractTargetDir);
    os.events.DoEvents();
    os.events.WaitMilliseconds(100);

    windows.BringToFront(dialog);
    os.events.WaitMilliseconds(50);
    SendKeysTo(in, dialog, kPasteKeys);
    os.events.WaitMilliseconds(50);
  }

  windows.BringToFront(dialog);
  os.events.WaitMilliseconds(50);
  SendKeysTo(in, dialog, kUnzipKeys);

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
    Tell(in,
         "Automatic Unzip of self-extracting EXE Failed. Check the Winzip Self-extractor message "
         "that is displayed.\r\rIf you are able to complete the unZip, locate the "
         "CelvaraStudio.exe file in the installation path and double-click it, to Start "
         "CelvaraStudio.",
         mb::kIconExclamation);
    os.screen.SetMousePointer(savedPointer);
    return kFalse;
  }

  os.events.WaitMilliseconds(100);
  windows.BringToFront(message);
  os.events.WaitMilliseconds(100);
  counter = 0;
  SendKeysTo(in, message, kConfirmKey);
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
  SendKeysTo(in, dialog, kCloseKeys);
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
