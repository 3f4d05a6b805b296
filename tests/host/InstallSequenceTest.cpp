// INSTALL and CANCEL through the main loop: the stages of an attempt, its labels, re-entry and
// unexpected errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "Doubles.h"
#include "ExpectedTexts.h"
#include "app/InstallCommands.h"
#include "app/InstallerEvents.h"
#include "app/Main.h"

namespace cvi::test {
namespace {

constexpr Form kF = Form::frmInstall;
const std::string kFolder = "C:\\Apps\\CelvaraStudio";
const std::string kPackage = kFolder + "\\CelvaraStudio_v3.9.exe";

// A full installation into C:\Apps, typed in the path box, with a package of three blocks.
// `beforeStartup` may set up the machine differently, an installed product for instance.
struct SequenceRig : TestRig {
  InstallerEvents handlers{in};
  FakeSelfExtractor extractor{*this};
  explicit SequenceRig(const std::function<void(SequenceRig&)>& beforeStartup = nullptr) {
    ui.SetEvents(&handlers);
    files.AddFolder("C:\\Apps");
    internet.length = 3 * 4096;
    if (beforeStartup)
      beforeStartup(*this);
    Startup(in);
    ui.SetCaption(kF, Ctl::txtInstallPath, "C:\\Apps");
    view.log.clear();
  }
  void At(long ms, Ctl ctl, Form form = kF) {
    events.At(ms, [this, form, ctl] { ui.UserClick(form, ctl); });
  }
  // Runs to the end of the run; a completion window is closed at 20 s.
  void Run() {
    events.At(20000, [this] { ui.UserClose(Form::frmLaunchFull); });
    events.At(20000, [this] { ui.UserClose(Form::frmLaunch); });
    MainLoop(in);
  }
  bool Logged(const std::string& entry) const {
    return std::count(view.log.begin(), view.log.end(), entry) > 0;
  }
  std::string Caption(Ctl ctl) { return ui.Caption(kF, ctl); }
};

// What each stage of an attempt does with CANCEL, and with the close command.
TEST(InstallSequence, StageTable) {
  struct Row {
    const char* name;
    std::function<void(SequenceRig&)> script;
    bool extracted, packageLeft, completionShown;
    std::size_t boxes;
  };
  const Row rows[] = {
      {"cancel while idle", [](SequenceRig& r) { r.At(50, Ctl::cmdCancel); }, false, false, false,
       0},
      {"cancel while downloading",
       [](SequenceRig& r) {
         r.At(50, Ctl::cmdInstall);
         r.events.AtYield(2, [&r] { r.ui.UserClick(kF, Ctl::cmdCancel); });
       },
       false, false, false, 0},
      {"cancel while extracting",
       [](SequenceRig& r) {
         r.At(50, Ctl::cmdInstall);
         r.At(300, Ctl::cmdCancel);  // the dialog is up from 250
       },
       true, true, false, 0},
      {"closed twice while downloading",
       [](SequenceRig& r) {
         r.At(50, Ctl::cmdInstall);
         r.events.AtYield(2, [&r] {
           r.ui.UserClose(kF);
           r.ui.UserClose(kF);
         });
       },
       true, true, true, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SequenceRig r;
    row.script(r);
    r.Run();
    EXPECT_EQ(r.files.Exists(kFolder + "\\CVInstall_v3.9.txt"), row.extracted);
    EXPECT_EQ(r.files.Exists(kPackage), row.packageLeft);
    EXPECT_EQ(r.Logged("show frmLaunchFull"), row.completionShown);
    EXPECT_TRUE(r.windows.desktop.empty());  // the self-extractor was always closed
    ASSERT_EQ(r.boxes.shown.size(), row.boxes);
    for (const auto& box : r.boxes.shown)
      EXPECT_EQ(box.text, expected::kUnloadGuard);
    EXPECT_FALSE(r.state.InstallInProgress);
    EXPECT_FALSE(r.ui.AnyLoaded());
    EXPECT_FALSE(r.Logged("create frmInstall"));
  }
}

TEST(InstallSequence, ValidationCanTurnTheAttemptIntoAnUpgrade) {
  SequenceRig r;
  r.files.AddFolder(kFolder);
  r.files.AddFile(kFolder + "\\CelvaraStudio.exe");
  r.boxes.answers = {mb::kAnswerYes};
  r.extractor.logName = "CVUpgrade_v3.9.txt";
  r.At(50, Ctl::cmdInstall);
  r.events.AtYield(
      1, [&r] { EXPECT_EQ(r.Caption(Ctl::lblSize), "(Download size is approximatly 400K)"); });
  r.Run();
  EXPECT_EQ(r.internet.url, kDownloadBaseUrl + std::string("CelvaraStudio_Upgrade_v3.9.exe"));
  EXPECT_EQ(r.state.PackagePath, kFolder + "\\CelvaraStudio_Upgrade_v3.9.exe");
  EXPECT_EQ(r.state.ExtractTargetDir, kFolder);
  EXPECT_EQ(r.state.ExtractResult, -1);
  EXPECT_TRUE(r.Logged("show frmLaunch"));
}

// The machine variable may name any folder: the upgrade works in it as it is, with nothing
// appended and no validation.
TEST(InstallSequence, UpgradeOfAFolderWithAnotherName) {
  const std::string folder = "D:\\Tools\\CS";
  SequenceRig r([&folder](SequenceRig& r) {
    r.registry.Set("CelvaraStudio", 1, folder + '\0');
    r.files.AddFolder("D:\\Tools");
    r.files.AddFolder(folder);
    r.files.AddFile(folder + "\\CelvaraStudio.exe");
    r.extractor.logName = "CVUpgrade_v3.9.txt";
  });
  r.At(50, Ctl::cmdInstall);
  r.Run();
  EXPECT_EQ(r.state.PackagePath, folder + "\\CelvaraStudio_Upgrade_v3.9.exe");
  EXPECT_EQ(r.state.ExtractTargetDir, folder);
  EXPECT_EQ(r.extractor.folder, folder);
  EXPECT_EQ(r.state.ExtractResult, -1);
  EXPECT_TRUE(r.files.created.empty());
  EXPECT_TRUE(r.Logged("show frmLaunch"));
}

TEST(InstallSequence, OnlyExactlyTrueCompletes) {
  const std::pair<std::int16_t, const char*> rows[] = {
      {-1, "COMPLETE"}, {0, "FAILED"}, {1, "FAILED"}, {-2, "FAILED"}, {255, "FAILED"}};
  for (const auto& [result, caption] : rows)
    EXPECT_STREQ(ExtractionOutcome(result), caption) << result;
}

// A failed extraction, then a failed download, then a success: each attempt shows only what it
// changed, and INSTALL works again after every failure.
TEST(InstallSequence, LabelsAcrossAttempts) {
  SequenceRig r;
  r.extractor.opensDialog = false;
  r.At(50, Ctl::cmdInstall);
  r.events.At(10000, [&r] {
    EXPECT_EQ(r.Caption(Ctl::lblInProcess), "FAILED");
    EXPECT_EQ(r.state.ExtractResult, 0);
    EXPECT_FALSE(r.state.InstallCompleted);
    r.extractor.opensDialog = true;
    r.internet.urlOpens = false;
    r.ui.UserClick(kF, Ctl::cmdInstall);
    EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblDownLoadError));
    EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblDLcomplete));
    EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblInProcess));
    EXPECT_EQ(r.Caption(Ctl::lblInProcess), "FAILED");
    r.internet.urlOpens = true;
  });
  r.events.At(10100, [&r] {
    r.events.AtYield(r.events.yields + 1, [&r] {
      EXPECT_FALSE(r.ui.Visible(kF, Ctl::lblDownLoadError));
      EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblDLcomplete));
      EXPECT_EQ(r.Caption(Ctl::lblInProcess), "FAILED");
      EXPECT_EQ(r.Caption(Ctl::lblSize), "(Download size is approximatly 2500000 -- 2.5mb)");
    });
    r.ui.UserClick(kF, Ctl::cmdInstall);
    EXPECT_EQ(r.Caption(Ctl::lblInProcess), "COMPLETE");
    EXPECT_TRUE(r.ui.Visible(kF, Ctl::lblDLcomplete));
  });
  r.Run();
  EXPECT_TRUE(r.Logged("show frmLaunchFull"));
  EXPECT_EQ(r.processes.started.size(), 2u);
}

// While an attempt runs, INSTALL, "Change Drive or Path" and the path box are disabled, and the
// handlers ignore clicks that the platform still reports.
TEST(InstallSequence, NoSecondAttemptAndNoPathChangeWhileOneRuns) {
  SequenceRig r;
  r.ui.SetEnabled(kF, Ctl::txtInstallPath, false);  // as an earlier upgrade display left it
  r.browser.result = "C:\\";
  r.At(50, Ctl::cmdInstall);
  r.events.AtYield(1, [&r] {
    for (Ctl ctl : {Ctl::cmdInstall, Ctl::cmdChange, Ctl::txtInstallPath})
      EXPECT_FALSE(r.ui.Enabled(kF, ctl));
    EXPECT_TRUE(r.ui.Enabled(kF, Ctl::cmdCancel));
    cmdInstall_Click(r.in);
    r.handlers.Click(kF, Ctl::cmdChange);
  });
  // The attempt fails and the window stays, with its controls as they were before it.
  r.events.At(60000, [&r] {
    EXPECT_TRUE(r.ui.Enabled(kF, Ctl::cmdInstall));
    EXPECT_TRUE(r.ui.Enabled(kF, Ctl::cmdChange));
    EXPECT_FALSE(r.ui.Enabled(kF, Ctl::txtInstallPath));
    r.ui.UserClick(kF, Ctl::cmdCancel);
  });
  r.extractor.showsCompletion = false;
  r.Run();
  EXPECT_EQ(r.internet.reads, 4);
  EXPECT_TRUE(r.browser.calls.empty());
  EXPECT_EQ(r.state.InstallPath, kFolder);
  EXPECT_EQ(r.processes.started.size(), 1u);
}

}  // namespace
}  // namespace cvi::test
