// The self-extractor automation against a scripted self-extractor on a fake desktop, driven
// through its controls or by keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "Doubles.h"
#include "ExpectedTexts.h"
#include "extract/SelfExtractor.h"
#include "extract/WindowSearch.h"

namespace cvi::test {
namespace {

const std::string kFolder = "C:\\Program Files\\CelvaraStudio";
const std::string kPackage = kFolder + "\\CelvaraStudio_v3.9.exe";
const std::string kLog = kFolder + "\\CVInstall_v3.9.txt";

struct Rig : TestRig {
  FakeSelfExtractor sfx{*this};
  Rig() {
    state.InstallPath = kFolder;
    state.MessageTitle = "CelvaraStudio Install/Upgrade";
    files.AddFolder("C:\\Program Files");
    files.AddFolder(kFolder);
    files.AddFile(kPackage);
    files.AddFile(kLog, false, "earlier");  // of an earlier installation
    screen.pointer = 7;                     // whatever the user's pointer was
  }
  std::int16_t Run() { return RunSelfExtractor(in, kPackage, target); }
  std::string target = kFolder;  // where the self-extractor is told to unpack
  int Waits(int ms) const {
    return static_cast<int>(std::count(events.waitLengths.begin(), events.waitLengths.end(), ms));
  }
};

struct Row {
  const char* name;
  std::function<void(Rig&)> arrange;
  std::int16_t result;
  std::string message;  // "" for none
  std::uint32_t icon;
  int waits50, waits100;  // pauses of each length over the whole run
  bool started, hourglassShown;
};

const std::string kCannotStart = expected::kUnzipCannotStart + kPackage + "\r\r";
const std::string kEnded = expected::kUnzipEnded + "9).";

// Something the user or the dialog does to the folder field between the paste and the unzip.
void FieldBecomes(Rig& r, std::string text) {
  r.events.At(520, [&r, text] { r.windows.SetControlText(r.sfx.field, text); });
}

// The successful path pauses 50 ms 7 times (four while the dialog opens, three around the keys)
// and 100 ms 10 times (three while the unzip runs, one while the completion window takes its
// posted click; keys are followed until taken, so that pause goes); the limits add 101, 500, 30
// and 20 pauses. A refusal before the unzip has paused 50 ms 7 times and 100 ms twice. A dialog
// without an Unzip button is looked at once more before the route is chosen.
const Row kRows[] = {
    {"Success", [](Rig&) {}, -1, "", 0, 7, 10, true, true},
    {"NoPackage", [](Rig& r) { r.files.DeleteFile(kPackage); }, 0,
     expected::kUnzipMissing + kPackage, mb::kIconInformation, 0, 0, false, false},
    {"DialogAlreadyOpen", [](Rig& r) { r.windows.Open("Old - WinZip Self-Extractor - x.exe"); }, 0,
     expected::kUnzipDialogAlreadyOpen, mb::kIconExclamation, 0, 0, false, false},
    {"DialogNeverOpens", [](Rig& r) { r.sfx.opensDialog = false; }, 0,
     expected::kUnzipNoStart + kPackage, mb::kIconExclamation, 101, 0, true, false},
    {"StartFails", [](Rig& r) { r.processes.startSucceeds = false; }, 0,
     kCannotStart + "The package is not a valid Win32 application. (error 193)",
     mb::kIconExclamation, 0, 0, true, false},
    {"StartNeedsAdministratorRights",
     [](Rig& r) {
       r.processes.startSucceeds = false;
       r.processes.startError = {740, "The requested operation requires elevation."};
     },
     0, kCannotStart + expected::kUnzipNeedsAdmin + " (error 740)", mb::kIconExclamation, 0, 0,
     true, false},
    {"StartFailsWithoutAReason",
     [](Rig& r) {
       r.processes.startSucceeds = false;
       r.processes.startError = {1234, ""};
     },
     0, kCannotStart + "Windows gives no reason. (error 1234)", mb::kIconExclamation, 0, 0, true,
     false},
    {"DialogFoundByTheSearchAfterTheLimit", [](Rig& r) { r.sfx.dialogDelayMs = 5050; }, -1, "", 0,
     104, 10, true, true},
    {"DialogOneStepTooLate", [](Rig& r) { r.sfx.dialogDelayMs = 5051; }, 0,
     expected::kUnzipNoStart + kPackage, mb::kIconExclamation, 101, 0, true, false},
    {"NoCompletionWindow", [](Rig& r) { r.sfx.showsCompletion = false; }, 0,
     expected::kUnzipNoFinish + kPackage, mb::kIconExclamation, 7, 502, true, true},
    {"LogFileMissing", [](Rig& r) { r.sfx.logName = "CVSetup_v3.9.txt"; }, 0, expected::kUnzipNoLog,
     mb::kIconExclamation, 7, 5, true, true},
    {"LogIsLookedForInTheInstallationFolder",
     [](Rig& r) {
       r.files.AddFolder("C:\\Elsewhere");
       r.target = "C:\\Elsewhere";
     },
     0, expected::kUnzipNoLog, mb::kIconExclamation, 7, 5, true, true},
    {"UpgradeLooksForItsOwnLog", [](Rig& r) { r.state.UpgradeMode = true; }, 0,
     expected::kUnzipNoLog, mb::kIconExclamation, 7, 5, true, true},
    {"UpgradeWithItsLog",
     [](Rig& r) {
       r.state.UpgradeMode = true;
       r.sfx.logName = "CVUpgrade_v3.9.txt";
     },
     -1, "", 0, 7, 10, true, true},
    {"CompletionWindowStaysAfterEnter", [](Rig& r) { r.sfx.staysAfterEnter = true; }, -1, "", 0, 7,
     39, true, true},
    {"AnAmpersandIsNoMnemonic", [](Rig& r) { r.sfx.browseCaption = "&&Unzip elsewhere..."; }, -1,
     "", 0, 7, 10, true, true},
    {"DialogIgnoresAltC", [](Rig& r) { r.sfx.ignoresClose = true; }, -1, "", 0, 7, 30, true, true},
    // Before the unzip the field must show the installer's folder, letter case aside.
    {"FieldShowsTheFolderInOtherLetters",
     [](Rig& r) { FieldBecomes(r, "c:\\PROGRAM FILES\\celvarastudio"); }, -1, "", 0, 7, 10, true,
     true},
    {"FieldShowsAnotherFolder", [](Rig& r) { FieldBecomes(r, "C:\\UserData"); }, 0,
     expected::kUnzipNoLog, mb::kIconExclamation, 7, 2, true, false},
    {"FieldDiffersInsideADoubleByteCharacter",
     [](Rig& r) {
       r.files.leadBytes = {0x83};
       r.target = kFolder + "\\\x83\x61";
       FieldBecomes(r, kFolder + "\\\x83\x41");
     },
     0, expected::kUnzipNoLog, mb::kIconExclamation, 7, 2, true, false},
    {"KeystrokesWithTheFocusNotOnTheField",
     [](Rig& r) {
       r.sfx.offersControls = false;
       r.events.At(250, [&r] { r.windows.focus[r.sfx.dialog] = r.sfx.closeButton; });
     },
     0, expected::kUnzipNoLog, mb::kIconExclamation, 8, 2, true, false},
    // The folder could go into one field and the unzip read the other: nothing is driven.
    {"TwoFields", [](Rig& r) { r.sfx.secondField = true; }, 0, expected::kUnzipNoLog,
     mb::kIconExclamation, 4, 0, true, false},
    // The title comes 300 ms before the controls: the route is chosen once they are there.
    {"ControlsAfterTheTitle", [](Rig& r) { r.sfx.controlsDelayMs = 300; }, -1, "", 0, 13, 10, true,
     true},
    // A package slow to start still gets the time for its controls.
    {"ControlsAfterASlowStart",
     [](Rig& r) {
       r.sfx.dialogDelayMs = 4500;
       r.sfx.controlsDelayMs = 1000;
     },
     -1, "", 0, 113, 10, true, true},
    {"DiesBeforeItsDialog",
     [](Rig& r) {
       r.sfx.opensDialog = false;
       r.events.At(1000, [&r] { r.processes.ended = true; });
     },
     0, expected::kUnzipNoStart + kPackage + kEnded, mb::kIconExclamation, 20, 0, true, false},
    {"DiesDuringTheUnzip",
     [](Rig& r) {
       r.sfx.showsCompletion = false;
       r.events.At(1000, [&r] { r.processes.ended = true; });
     },
     0, expected::kUnzipNoFinish + kPackage + kEnded, mb::kIconExclamation, 7, 7, true, true},
    {"DialogAnswersNoMessage", [](Rig& r) { r.windows.hung = true; }, 0, expected::kUnzipNoLog,
     mb::kIconExclamation, 7, 2, true, false},
    {"KeystrokesWhenTheDialogOffersNoControls", [](Rig& r) { r.sfx.offersControls = false; }, -1,
     "", 0, 8, 9, true, true},
    {"KeystrokesWithAClipboardThatCannotBeKept",
     [](Rig& r) {
       r.sfx.offersControls = false;
       r.clipboard.unreadable = true;
     },
     0, expected::kUnzipNoLog, mb::kIconExclamation, 8, 2, true, false},
};

TEST(RunSelfExtractor, EveryExit) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    Rig r;
    row.arrange(r);
    EXPECT_EQ(r.Run(), row.result);
    if (row.message.empty()) {
      EXPECT_TRUE(r.boxes.shown.empty());
    } else {
      ASSERT_EQ(r.boxes.shown.size(), 1u);
      EXPECT_EQ(r.boxes.shown[0].text, row.message);
      EXPECT_EQ(r.boxes.shown[0].title, "CelvaraStudio Install/Upgrade");
      EXPECT_EQ(r.boxes.shown[0].style, mb::kOk | row.icon);
    }
    EXPECT_EQ(r.Waits(50), row.waits50);
    EXPECT_EQ(r.Waits(100), row.waits100);
    EXPECT_EQ(r.processes.started.size(), row.started ? 1u : 0u);
    // Nothing is unpacked without the installer's folder in the field, and a refused dialog is
    // left open for the user.
    if (row.waits100 == 2) {
      EXPECT_TRUE(r.sfx.folder.empty());
      EXPECT_NE(r.windows.Find(r.sfx.dialog), nullptr);
    }
    // Only this run's log counts: the earlier one is set aside, and back unless a new one came.
    ASSERT_TRUE(r.files.Exists(kLog));
    const bool rewritten =
        FakeFileSystem::Key(r.sfx.folder + "\\" + r.sfx.logName) == FakeFileSystem::Key(kLog);
    EXPECT_EQ(r.files.Get(kLog)->data, rewritten ? "" : "earlier");
    EXPECT_FALSE(r.files.Exists(kLog + ".previous"));
    // The hourglass is shown from the unzip on and the user's pointer is back on every way out.
    EXPECT_EQ(r.screen.pointer, 7);
    if (row.hourglassShown)
      EXPECT_EQ(r.screen.history.empty() ? 0 : r.screen.history.front(), Screen::kHourglass);
    else
      EXPECT_TRUE(r.screen.history.empty());
  }
}

const std::vector<ClipboardFormat> kUsersClipboard = {{FakeClipboard::kText, "the user's text"},
                                                      {0xC123, std::string("\0private\xff", 9)}};

// A dialog with its own controls is driven through them: the folder goes into its field, its
// buttons are clicked, no key is sent and the clipboard is not touched. Another program's box of
// the completion window's title, up before the unzip ends, is passed over and never pressed.
TEST(RunSelfExtractor, DrivesTheDialogThroughItsControls) {
  Rig r;
  r.clipboard.formats = kUsersClipboard;
  r.events.At(560, [&r] { r.windows.Open(kSelfExtractorMessageTitle, 77); });
  // The verified package stays held until its process has started, and not a moment longer.
  r.state.HeldPackage = r.files.HoldForReading(kPackage);
  int heldAtStart = -1;
  r.processes.onStart = [&, start = r.processes.onStart] {
    heldAtStart = r.files.held;
    start();
  };
  ASSERT_EQ(r.Run(), -1);
  EXPECT_EQ(heldAtStart, 1);
  EXPECT_EQ(r.files.held, 0);
  // Exactly the package is started, quoted, in a normal activated window.
  ASSERT_EQ(r.processes.started.size(), 1u);
  EXPECT_EQ(r.processes.started[0].program, kPackage);
  EXPECT_EQ(r.processes.started[0].commandLine, "\"" + kPackage + "\"");
  EXPECT_EQ(r.processes.started[0].style, 1);
  EXPECT_EQ(r.sfx.folder, kFolder);
  const std::vector<Windows::Handle> clicks = {r.sfx.unzipButton, r.sfx.okButton,
                                               r.sfx.closeButton};
  EXPECT_EQ(r.windows.clicked, clicks);
  EXPECT_TRUE(r.keyboard.sent.empty());
  EXPECT_TRUE(r.clipboard.log.empty());
  ASSERT_EQ(r.windows.desktop.size(), 1u);
  EXPECT_EQ(r.windows.desktop[0].process, 77u);
}

// A dialog without such controls gets the keys, each on its own window; the folder goes through
// the clipboard, and the user's whole clipboard comes back after the paste.
TEST(RunSelfExtractor, DrivesADialogWithoutControlsByKeys) {
  Rig r;
  r.sfx.offersControls = false;
  r.clipboard.formats = kUsersClipboard;
  ASSERT_EQ(r.Run(), -1);
  EXPECT_EQ(r.sfx.folder, kFolder);
  ASSERT_EQ(r.keyboard.sent.size(), 4u);
  const std::pair<std::string, Windows::Handle> keys[] = {{"^(v)", r.sfx.dialog},
                                                          {"%(u)", r.sfx.dialog},
                                                          {"\r", r.sfx.message},
                                                          {"%(c)", r.sfx.dialog}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(r.keyboard.sent[i].keys, keys[i].first);
    EXPECT_EQ(r.keyboard.sent[i].to, keys[i].second);
  }
  EXPECT_TRUE(r.windows.clicked.empty());
  const std::vector<std::string> clipboard = {"take", "set " + kFolder, "restore"};
  EXPECT_EQ(r.clipboard.log, clipboard);
  EXPECT_EQ(r.clipboard.formats.size(), 2u);
  EXPECT_EQ(r.clipboard.formats[1].data, kUsersClipboard[1].data);
  EXPECT_EQ(r.clipboard.Text(), "the user's text");

  // An unexpected error while the folder is on the clipboard still gives the user's content back.
  Rig e;
  e.sfx.offersControls = false;
  e.clipboard.formats = kUsersClipboard;
  e.events.At(350, [] { throw std::runtime_error("disk on fire"); });
  EXPECT_THROW(e.Run(), std::runtime_error);
  EXPECT_EQ(e.clipboard.Text(), "the user's text");
  EXPECT_EQ(e.clipboard.formats.size(), 2u);
}

// Another program holds the clipboard for a while: what it holds then decides the paste, and the
// user's content is never lost. `from`/`until` are on the run's clock: the dialog is found at
// 200 ms and found complete at 250 ms, the clipboard is taken then, the folder put on it at 350 ms
// and pasted at 500 ms.
TEST(RunSelfExtractor, ClipboardHeldByAnotherProgram) {
  struct Case {
    const char* name;
    long from, until;
    std::int16_t result;
    std::vector<std::string> log;
    std::size_t keys;  // a paste only with the folder on the clipboard
  };
  const Case cases[] = {
      {"before the dialog, for 0.8 s", 150, 950, 0, {}, 0},
      {"after the folder was taken, for 0.8 s", 300, 1100, 0, {"take", "restore"}, 0},
      {"after the paste", 510, 1310, -1, {"take", "set " + kFolder, "restore"}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.sfx.offersControls = false;
    r.clipboard.formats = kUsersClipboard;
    r.events.At(c.from, [&r] { r.clipboard.held = true; });
    r.events.At(c.until, [&r] { r.clipboard.held = false; });
    EXPECT_EQ(r.Run(), c.result);
    r.clipboard.held = false;
    EXPECT_EQ(r.clipboard.log, c.log);
    EXPECT_EQ(r.keyboard.sent.size(), c.keys);
    EXPECT_EQ(r.clipboard.Text(), "the user's text");
    EXPECT_EQ(r.clipboard.formats.size(), 2u);
    // Never the user's clipboard text as the folder.
    EXPECT_NE(r.sfx.folder, "the user's text");
  }
}

// Keys are never sent to a window the installer did not mean: when the dialog cannot be brought
// to the front, the user's window keeps the foreground and receives nothing, and nothing is
// unpacked. A dialog with its own controls needs no foreground at all.
TEST(RunSelfExtractor, NeedsTheForegroundOnlyForKeys) {
  for (const bool offersControls : {true, false}) {
    SCOPED_TRACE(offersControls ? "controls" : "keys");
    Rig r;
    r.sfx.offersControls = offersControls;
    r.processes.onStart = [&r] {
      r.sfx.Open();
      r.windows.refuseFront.insert(r.sfx.dialog);
      r.windows.Open("Notepad - letter.txt");
    };
    EXPECT_EQ(r.Run(), offersControls ? -1 : 0);
    EXPECT_TRUE(r.keyboard.sent.empty());
    EXPECT_EQ(r.sfx.folder, offersControls ? kFolder : "");
    if (!offersControls) {
      EXPECT_EQ(r.boxes.shown.at(0).text, expected::kUnzipNoLog);
    }
  }
}

TEST(FindWindowByTitle, SearchesTheStackFromTheTop) {
  struct Case {
    const char* part;
    Windows::Handle expected;  // 0: no match
  };
  FakeWindows w;
  w.Open("");  // bottom
  w.Open("Setup - WinZip Self-Extractor - x.exe");
  w.Open("winzip self-extractor - lower case");
  w.Open("WinZip Self-Extractor - top.exe");  // top
  const Windows::Handle top = w.desktop[0].handle, second = w.desktop[2].handle;
  const Case cases[] = {
      {"WinZip Self-Extractor -", top},    {"x.exe", second}, {"Setup", second},
      {"lower case", w.desktop[1].handle}, {"", top},         {"WINZIP", 0},
      {"Self-Extractor -  ", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    Windows::Handle found = 0xBEEF;
    EXPECT_EQ(FindWindowByTitle(w, found, c.part), c.expected);
    EXPECT_EQ(found, c.expected ? c.expected : 0xBEEF);
  }
}

}  // namespace
}  // namespace cvi::test
