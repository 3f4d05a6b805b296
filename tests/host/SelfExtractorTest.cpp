// The self-extractor automation against a scripted self-extractor on a fake desktop.
#include <gtest/gtest.h>

#include <algorithm>

#include "Doubles.h"
#include "ExpectedTexts.h"
#include "extract/SelfExtractor.h"
#include "extract/WindowSearch.h"

namespace cvi::test {
namespace {

const std::string kFolder = "C:\\Program Files\\CelvaraStudio";
const std::string kPackage = kFolder + "\\CelvaraStudio_v3.9.exe";

struct Rig : TestRig {
  FakeSelfExtractor sfx{*this};
  Rig() {
    state.InstallPath = kFolder;
    state.MessageTitle = "CelvaraStudio Install/Upgrade";
    files.AddFolder("C:\\Program Files");
    files.AddFolder(kFolder);
    files.AddFile(kPackage);
    screen.pointer = 7;  // whatever the user's pointer was
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
  bool hourglassShown;
};

// The successful path pauses 50 ms 7 times (four while the dialog opens, three around the keys)
// and 100 ms 9 times (three while the unzip runs); the limits add 101, 500, 30 and 20 pauses.
const Row kRows[] = {
    {"Success", [](Rig&) {}, -1, "", 0, 7, 9, true},
    {"NoPackage", [](Rig& r) { r.files.DeleteFile(kPackage); }, 0,
     expected::kUnzipMissing + kPackage, mb::kIconInformation, 0, 0, false},
    {"DialogNeverOpens", [](Rig& r) { r.sfx.opensDialog = false; }, 0,
     expected::kUnzipNoStart + kPackage, mb::kIconExclamation, 101, 0, false},
    {"StartFails", [](Rig& r) { r.processes.startSucceeds = false; }, 0,
     expected::kUnzipNoStart + kPackage, mb::kIconExclamation, 101, 0, false},
    {"DialogFoundByTheSearchAfterTheLimit", [](Rig& r) { r.sfx.dialogDelayMs = 5050; }, -1, "", 0,
     104, 9, true},
    {"DialogOneStepTooLate", [](Rig& r) { r.sfx.dialogDelayMs = 5051; }, 0,
     expected::kUnzipNoStart + kPackage, mb::kIconExclamation, 101, 0, false},
    {"NoCompletionWindow", [](Rig& r) { r.sfx.showsCompletion = false; }, 0,
     expected::kUnzipNoFinish + kPackage, mb::kIconExclamation, 7, 502, true},
    {"LogFileMissing", [](Rig& r) { r.sfx.logName = "CVSetup_v3.9.txt"; }, 0, expected::kUnzipNoLog,
     mb::kIconExclamation, 7, 5, true},
    {"LogIsLookedForInTheInstallationFolder",
     [](Rig& r) {
       r.files.AddFolder("C:\\Elsewhere");
       r.target = "C:\\Elsewhere";
     },
     0, expected::kUnzipNoLog, mb::kIconExclamation, 7, 5, true},
    {"UpgradeLooksForItsOwnLog", [](Rig& r) { r.state.UpgradeMode = true; }, 0,
     expected::kUnzipNoLog, mb::kIconExclamation, 7, 5, true},
    {"UpgradeWithItsLog",
     [](Rig& r) {
       r.state.UpgradeMode = true;
       r.sfx.logName = "CVUpgrade_v3.9.txt";
     },
     -1, "", 0, 7, 9, true},
    {"CompletionWindowStaysAfterEnter", [](Rig& r) { r.sfx.staysAfterEnter = true; }, -1, "", 0, 7,
     39, true},
    {"DialogIgnoresAltC", [](Rig& r) { r.sfx.ignoresClose = true; }, -1, "", 0, 7, 29, true},
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
    // The hourglass is shown from the unzip on and the user's pointer is back on every way out.
    EXPECT_EQ(r.screen.pointer, 7);
    if (row.hourglassShown)
      EXPECT_EQ(r.screen.history.front(), Screen::kHourglass);
    else
      EXPECT_TRUE(r.screen.history.empty());
  }
}

TEST(RunSelfExtractor, DrivesTheDialogInOrder) {
  Rig r;
  r.clipboard.SetText("the user's own text");
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
  ASSERT_EQ(r.keyboard.sent.size(), 4u);
  const std::pair<std::string, Windows::Handle> keys[] = {{"^(v)", r.sfx.dialog},
                                                          {"%(u)", r.sfx.dialog},
                                                          {"\r", r.sfx.message},
                                                          {"%(c)", r.sfx.dialog}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(r.keyboard.sent[i].keys, keys[i].first);
    EXPECT_EQ(r.keyboard.sent[i].to, keys[i].second);
  }
  EXPECT_EQ(r.sfx.folder, kFolder);
  // The folder went through the clipboard, and the user's text came back after the paste.
  const std::vector<std::string> clipboard = {"set the user's own text", "clear", "set " + kFolder,
                                              "set the user's own text"};
  EXPECT_EQ(r.clipboard.log, clipboard);
  EXPECT_EQ(r.windows.desktop.size(), 0u);
}

// Keys are never sent to a window the installer did not mean: when the dialog cannot be brought
// to the front, the user's window keeps the foreground and receives nothing.
TEST(RunSelfExtractor, WithholdsKeysWhenTheDialogCannotComeToTheFront) {
  Rig r;
  r.processes.onStart = [&r] {
    r.sfx.dialog = r.windows.Open(r.sfx.dialogTitle);
    r.windows.refuseFront.insert(r.sfx.dialog);
    r.windows.Open("Notepad - letter.txt");
  };
  EXPECT_EQ(r.Run(), 0);
  EXPECT_TRUE(r.keyboard.sent.empty());
  EXPECT_EQ(r.boxes.shown.at(0).text, expected::kUnzipNoFinish + kPackage);
  // The clipboard held no text before, so it holds none after.
  EXPECT_FALSE(r.clipboard.hasText);
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
