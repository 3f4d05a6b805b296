// "Change Drive or Path": the dialog's arguments, Cancel, and what a validated choice changes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Doubles.h"
#include "core/Main.h"
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

// The dialog has no owner window, so INSTALL or CANCEL can be clicked while it is open.
class ActingFolderBrowser : public FolderBrowser {
 public:
  std::string BrowseForFolder(const std::string&, const std::string&) override {
    whileOpen();
    return "C:\\Apps\\";
  }
  std::function<void()> whileOpen;
};

TEST(ChangePath, ChoiceIsDroppedWhenTheRunMovedOnWhileTheDialogWasOpen) {
  const std::function<void(InstallerState&)> events[] = {
      [](InstallerState& s) { s.InstallCompleted = true; },
      [](InstallerState& s) { s.CancelRequested = s.QuitRequested = true; },
  };
  for (const auto& event : events) {
    ChangePathRig r;
    r.state.InstallPath = "C:\\Done\\CelvaraStudio";
    ActingFolderBrowser browser;
    browser.whileOpen = [&] { event(r.state); };
    Platform os{r.files,  r.registry, r.internet, r.boxes,     r.events,  r.processes,
                r.screen, browser,    r.windows,  r.clipboard, r.keyboard};
    Installer in{r.state, r.ui, os};
    cmdChange_Click(in);
    EXPECT_EQ(r.state.InstallPath, "C:\\Done\\CelvaraStudio");
    EXPECT_TRUE(r.files.created.empty());
  }
}

}  // namespace
}  // namespace cvi::test
