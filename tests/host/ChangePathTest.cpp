// "Change Drive or Path": the dialog's arguments, Cancel, and what a validated choice changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>

#include "Doubles.h"
#include "app/InstallerEvents.h"
#include "app/Main.h"
#include "target/ChangePath.h"

namespace cvi::test {
namespace {

constexpr Form kF = Form::frmInstall;

struct ChangePathRig : TestRig {
  ChangePathRig() {
    Startup(in);
    files.AddFolder("C:\\");
    files.AddFolder("C:\\Apps");
    ui.SetCaption(kF, Ctl::txtInstallPath, "D:\\typed");
    ui.SetCaption(kF, Ctl::lblPathError, "earlier message");
    ui.SetVisible(kF, Ctl::lblPathError, true);
  }
};

TEST(ChangePath, OpensTheDialogAtDriveCWhateverIsTyped) {
  ChangePathRig r;
  r.state.InstallPath = "C:\\Elsewhere\\CelvaraStudio";
  cmdChange_Click(r.in);
  ASSERT_EQ(r.browser.calls.size(), 1u);
  EXPECT_EQ(r.browser.calls[0].first, "Choose CelvaraStudio Installation Path");
  EXPECT_EQ(r.browser.calls[0].second, "C:\\");
}

TEST(ChangePath, CancelOnlyHidesTheMessage) {
  ChangePathRig r;
  r.state.InstallPath = "C:\\Old\\CelvaraStudio";
  cmdChange_Click(r.in);
  EXPECT_FALSE(r.ui.Visible(kF, Ctl::lblPathError));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "D:\\typed");
  EXPECT_EQ(r.state.InstallPath, "C:\\Old\\CelvaraStudio");
  EXPECT_TRUE(r.state.FullInstallMode);
  EXPECT_FALSE(r.state.UpgradeMode);
  EXPECT_TRUE(r.files.driveQueries.empty());
}

TEST(ChangePath, AcceptedFolderIsShownAsTheInstallationFolder) {
  for (const auto& [chosen, installPath] :
       {std::pair<std::string, std::string>{"C:\\Apps\\", "C:\\Apps\\CelvaraStudio"},
        {"C:\\", "C:\\CelvaraStudio"}}) {
    ChangePathRig r;
    r.browser.result = chosen;
    cmdChange_Click(r.in);
    EXPECT_EQ(r.state.InstallPath, installPath);
    EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), installPath);
    EXPECT_FALSE(r.ui.Visible(kF, Ctl::lblPathError));
    EXPECT_TRUE(r.files.Exists(installPath + "\\Charts\\Single"));
  }
}

TEST(ChangePath, RejectedFolderKeepsTheMessage) {
  ChangePathRig r;
  r.state.InstallPath = "C:\\Old\\CelvaraStudio";
  r.browser.result = "C:\\Gone\\";
  cmdChange_Click(r.in);
  EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblPathError));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError), "The directory path you typed in does not exist.");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "C:\\Gone");
  EXPECT_EQ(r.state.InstallPath, "C:\\Old\\CelvaraStudio");
}

TEST(ChangePath, IgnoredWhileAnInstallationRuns) {
  ChangePathRig r;
  r.state.InstallInProgress = true;
  r.state.InstallPath = "C:\\Running\\CelvaraStudio";
  r.browser.result = "C:\\Apps\\";
  cmdChange_Click(r.in);
  EXPECT_TRUE(r.browser.calls.empty());
  EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblPathError));
  EXPECT_EQ(r.state.InstallPath, "C:\\Running\\CelvaraStudio");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "D:\\typed");
}

// Nothing the user did meanwhile may be undone by a choice that comes back afterwards: an
// installation, CANCEL, or closing frmInstall (the dialog then closes by itself).
TEST(ChangePath, ChoiceIsDroppedWhenTheRunMovedOnWhileTheDialogWasOpen) {
  const std::pair<const char*, std::function<void(ChangePathRig&)>> rows[] = {
      {"completed", [](ChangePathRig& r) { r.state.InstallCompleted = true; }},
      {"cancelled", [](ChangePathRig& r) { r.ui.UserClick(kF, Ctl::cmdCancel); }},
      {"window closed", [](ChangePathRig& r) { r.ui.UserClose(kF); }},
  };
  for (const auto& [name, event] : rows) {
    SCOPED_TRACE(name);
    ChangePathRig r;
    InstallerEvents handlers{r.in};
    r.ui.SetEvents(&handlers);
    r.state.InstallPath = "C:\\Done\\CelvaraStudio";
    r.browser.result = "C:\\Apps\\";
    r.browser.whileOpen = [&] {
      r.ui.UserClick(kF, Ctl::cmdChange);  // a second click opens no second dialog
      event(r);
    };
    cmdChange_Click(r.in);
    EXPECT_EQ(r.browser.calls.size(), 1u);
    EXPECT_FALSE(r.browser.wantedAtClose);
    EXPECT_EQ(r.state.InstallPath, "C:\\Done\\CelvaraStudio");
    EXPECT_TRUE(r.files.created.empty());
  }
}

// Closing frmInstall while a question is up drops the answer: nothing is created, nothing more is
// asked, and the window does not come back.
TEST(ChangePath, WindowClosedDuringAQuestionEndsEverything) {
  ChangePathRig r;
  InstallerEvents handlers{r.in};
  r.ui.SetEvents(&handlers);
  r.files.AddFolder("C:\\Apps\\CelvaraStudio");
  r.files.AddFile("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  r.browser.result = "C:\\Apps\\";
  r.boxes.onShow = [&r] { r.ui.UserClose(kF); };
  r.view.log.clear();
  cmdChange_Click(r.in);
  EXPECT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_TRUE(r.files.created.empty());
  EXPECT_FALSE(r.ui.AnyLoaded());
  EXPECT_EQ(r.view.log, std::vector<std::string>{"destroy frmInstall"});
}

// A folder chosen in the dialog that already holds the product: after an upgrade answer INSTALL
// upgrades without asking again; after a re-install answer INSTALL validates the folder again and
// so asks its questions again.
TEST(ChangePath, AnsweredChoiceThenInstall) {
  struct Row {
    const char* name;
    std::deque<int> answers;
    std::size_t questions;
    const char* package;
  };
  const Row rows[] = {
      {"upgrade", {mb::kAnswerYes}, 1, "CelvaraStudio_Upgrade_v3.9.exe"},
      {"re-install",
       {mb::kAnswerNo, mb::kAnswerOk, mb::kAnswerNo, mb::kAnswerOk},
       4,
       "CelvaraStudio_v3.9.exe"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ChangePathRig r;
    InstallerEvents handlers{r.in};
    r.ui.SetEvents(&handlers);
    r.files.AddFolder("C:\\Apps\\CelvaraStudio");
    r.files.AddFile("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
    r.internet.length = 4096;
    r.browser.result = "C:\\Apps\\";
    r.boxes.answers = row.answers;
    cmdChange_Click(r.in);
    r.ui.UserClick(kF, Ctl::cmdInstall);
    const auto questions = std::count_if(
        r.boxes.shown.begin(), r.boxes.shown.end(),
        [](const FakeMessageBoxes::Box& box) { return (box.style & 0xF0) == mb::kIconQuestion; });
    EXPECT_EQ(static_cast<std::size_t>(questions), row.questions);
    EXPECT_EQ(r.internet.url, std::string(kDownloadBaseUrl) + row.package);
  }
}

}  // namespace
}  // namespace cvi::test
