// The main loop as a state machine: which flag wins, which window follows, when the run ends.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "app/InstallerEvents.h"
#include "app/Main.h"

namespace cvi::test {
namespace {

constexpr Form kInstall = Form::frmInstall;

// A rig whose windows route their events to the real handlers, started up in full-install mode.
struct LoopRig : TestRig {
  InstallerEvents handlers{in};
  LoopRig() {
    ui.SetEvents(&handlers);
    Startup(in);
    view.log.clear();
  }
  void RunLoop() {
    MainLoop(in);
    ended = true;
  }
  bool ended = false;
};

TEST(MainLoop, WaitsInStepsOf100ms) {
  LoopRig r;
  r.events.At(1000, [&] { r.ui.UserClick(kInstall, Ctl::cmdCancel); });
  r.RunLoop();
  EXPECT_EQ(r.events.waits, 10);
  for (int length : r.events.waitLengths)
    EXPECT_EQ(length, 100);
}

TEST(MainLoop, CancelWhileIdleEndsTheRun) {
  LoopRig r;
  r.events.At(50, [&] { r.ui.UserClick(kInstall, Ctl::cmdCancel); });
  r.RunLoop();
  EXPECT_TRUE(r.state.CancelRequested);
  EXPECT_TRUE(r.state.QuitRequested);
  EXPECT_EQ(r.events.now, 100);  // acted on at the end of the same wait
  EXPECT_EQ(r.view.log, (std::vector<std::string>{"hide frmInstall", "destroy frmInstall"}));
  EXPECT_FALSE(r.ui.AnyLoaded());
  EXPECT_TRUE(r.boxes.shown.empty());
}

// CANCEL during a running attempt only asks to stop; the run ends once the attempt has returned,
// and no completion window is shown even when the attempt still completed (as extraction may).
TEST(MainLoop, CancelDuringAnAttemptEndsAfterIt) {
  LoopRig r;
  r.events.At(50, [&] {
    r.state.InstallInProgress = true;
    r.ui.UserClick(kInstall, Ctl::cmdCancel);
    EXPECT_TRUE(r.state.CancelRequested);
    EXPECT_FALSE(r.state.QuitRequested);
    r.state.InstallInProgress = false;
    r.state.InstallCompleted = true;
  });
  r.RunLoop();
  EXPECT_FALSE(r.ui.IsLoaded(Form::frmLaunch));
  EXPECT_FALSE(r.ui.IsLoaded(Form::frmLaunchFull));
  EXPECT_FALSE(r.ui.AnyLoaded());
}

TEST(MainLoop, CompletionShowsTheWindowOfTheMode) {
  struct Row {
    const char* name;
    bool upgrade;
    Form window;
    const char* version;
  };
  const Row rows[] = {
      {"upgrade", true, Form::frmLaunch, "Upgrade Completed for version: v3.9"},
      {"full install", false, Form::frmLaunchFull, "Installation Completed for version: v3.9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoopRig r;
    r.events.At(50, [&] {
      r.state.UpgradeMode = row.upgrade;
      r.state.FullInstallMode = !row.upgrade;
      r.state.InstallCompleted = true;
    });
    r.events.At(350, [&] {
      EXPECT_FALSE(r.state.InstallCompleted);
      EXPECT_FALSE(r.ui.IsLoaded(kInstall));
      EXPECT_TRUE(r.ui.IsShown(row.window));
      EXPECT_EQ(r.ui.Caption(row.window, Ctl::lblVersion), row.version);
      r.ui.UserClose(row.window);
    });
    r.RunLoop();
    EXPECT_TRUE(r.state.LaunchWindowClosed);
    EXPECT_TRUE(r.processes.started.empty());
    EXPECT_FALSE(r.ui.AnyLoaded());
  }
}

// Starts a rig whose attempt has completed in `mode`, with the product in `folder`.
void CompleteInto(LoopRig& r, bool upgrade, const std::string& folder) {
  r.files.AddFolder(folder);
  r.files.AddFile(folder + "\\CelvaraStudio.exe");
  r.events.At(50, [&r, upgrade, folder] {
    r.state.InstallPath = folder;
    r.state.UpgradeMode = upgrade;
    r.state.FullInstallMode = !upgrade;
    r.state.InstallCompleted = true;
  });
}

TEST(MainLoop, LaunchStartsTheProductThenEnds) {
  LoopRig r;
  CompleteInto(r, true, "D:\\Apps\\CelvaraStudio");
  // The click only asks: the window stays up until the main loop has started the product.
  r.events.At(250, [&] {
    r.ui.UserClick(Form::frmLaunch, Ctl::cmdLaunch);
    EXPECT_TRUE(r.ui.IsShown(Form::frmLaunch));
    EXPECT_TRUE(r.processes.started.empty());
  });
  r.RunLoop();
  ASSERT_EQ(r.processes.started.size(), 1u);
  const FakeProcesses::Started& p = r.processes.started[0];
  // The program is named on its own and quoted, so a folder with spaces cannot run another one.
  EXPECT_EQ(p.program, "D:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  EXPECT_EQ(p.commandLine,
            "\"D:\\Apps\\CelvaraStudio\\CelvaraStudio.exe\" \"D:\\Apps\\CelvaraStudio\"");
  EXPECT_EQ(p.style, 1);
  EXPECT_EQ(r.events.now, 300);
  EXPECT_FALSE(r.ui.AnyLoaded());
}

TEST(MainLoop, FinishStartsTheProductFromAFolderWithSpaces) {
  LoopRig r;
  CompleteInto(r, false, "C:\\Program Files\\CelvaraStudio");
  r.events.At(250, [&] { r.ui.UserClick(Form::frmLaunchFull, Ctl::cmdFinish); });
  r.RunLoop();
  ASSERT_EQ(r.processes.started.size(), 1u);
  EXPECT_EQ(r.processes.started[0].program, "C:\\Program Files\\CelvaraStudio\\CelvaraStudio.exe");
  EXPECT_EQ(r.processes.started[0].commandLine,
            "\"C:\\Program Files\\CelvaraStudio\\CelvaraStudio.exe\" "
            "\"C:\\Program Files\\CelvaraStudio\"");
}

TEST(MainLoop, ExitEndsWithoutStarting) {
  LoopRig r;
  CompleteInto(r, true, "D:\\Apps\\CelvaraStudio");
  r.events.At(250, [&] { r.ui.UserClick(Form::frmLaunch, Ctl::cmdExit); });
  r.RunLoop();
  EXPECT_TRUE(r.processes.started.empty());
  EXPECT_FALSE(r.ui.AnyLoaded());
}

// The window was closed within the same wait in which LAUNCH was pressed: closing wins.
TEST(MainLoop, CloseAndLaunchInOneWaitEndsWithoutStarting) {
  LoopRig r;
  CompleteInto(r, true, "D:\\Apps\\CelvaraStudio");
  r.events.At(250, [&] {
    r.ui.UserClick(Form::frmLaunch, Ctl::cmdLaunch);
    r.ui.UserClose(Form::frmLaunch);
  });
  r.RunLoop();
  EXPECT_TRUE(r.state.LaunchRequested);
  EXPECT_TRUE(r.state.LaunchWindowClosed);
  EXPECT_TRUE(r.processes.started.empty());
}

TEST(MainLoop, AFailedStartIsReportedAndTheRunStillEnds) {
  LoopRig r;
  r.processes.startSucceeds = false;
  CompleteInto(r, false, "C:\\CelvaraStudio");
  r.events.At(250, [&] { r.ui.UserClick(Form::frmLaunchFull, Ctl::cmdFinish); });
  r.RunLoop();
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].title, "CelvaraStudio Install/Upgrade");
  EXPECT_NE(r.boxes.shown[0].text.find("C:\\CelvaraStudio\\CelvaraStudio.exe"), std::string::npos);
  EXPECT_FALSE(r.ui.AnyLoaded());
}

TEST(MainLoop, ClosingTheInstallWindowWhileIdleEndsTheRun) {
  LoopRig r;
  r.events.At(150, [&] { r.ui.UserClose(kInstall); });
  r.RunLoop();
  EXPECT_EQ(r.events.now, 200);
  EXPECT_FALSE(r.state.CancelRequested);
  EXPECT_FALSE(r.state.QuitRequested);
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(MainLoop, ClosingTheInstallWindowDuringAnAttemptIsRefused) {
  LoopRig r;
  r.events.At(150, [&] {
    r.state.InstallInProgress = true;
    r.ui.UserClose(kInstall);
    r.ui.UserClose(kInstall);
    r.state.InstallInProgress = false;
  });
  r.events.At(500, [&] { r.ui.UserClick(kInstall, Ctl::cmdCancel); });
  r.RunLoop();
  ASSERT_EQ(r.boxes.shown.size(), 2u);  // once for each close command
  EXPECT_EQ(r.boxes.shown[0].text,
            "Installation in progress. You must 'Cancel'; you cannot unload this process.");
  EXPECT_EQ(r.boxes.shown[0].style, mb::kOk | mb::kIconInformation);
  EXPECT_EQ(r.events.now, 500);  // the window stayed until CANCEL
}

TEST(MainLoop, MissingProductIsReportedAndTheWindowStays) {
  struct Row {
    const char* name;
    bool upgrade;
    Ctl button;
    const char* prefix;
    const char* exeName;
  };
  const Row rows[] = {
      {"launch, missing", true, Ctl::cmdLaunch, "Celvarastudio EXE not found: ", nullptr},
      {"finish, missing", false, Ctl::cmdFinish, "Celvarastudio EXE not found:  ", nullptr},
      {"finish, other letter case", false, Ctl::cmdFinish,
       "Celvarastudio EXE not found:  ", "CELVARASTUDIO.EXE"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoopRig r;
    const Form window = row.upgrade ? Form::frmLaunch : Form::frmLaunchFull;
    const std::string folder = "E:\\CS";
    if (row.exeName)
      r.files.AddFile(folder + "\\" + row.exeName);
    r.events.At(50, [&] {
      r.state.InstallPath = folder;
      r.state.UpgradeMode = row.upgrade;
      r.state.InstallCompleted = true;
    });
    r.events.At(250, [&] { r.ui.UserClick(window, row.button); });
    r.events.At(450, [&] { r.ui.UserClick(window, row.button); });
    r.events.At(650, [&] {
      EXPECT_TRUE(r.ui.IsShown(window));
      r.ui.UserClose(window);
    });
    r.RunLoop();
    ASSERT_EQ(r.boxes.shown.size(), 2u);
    EXPECT_EQ(r.boxes.shown[0].text, row.prefix + folder + "\\CelvaraStudio.exe");
    EXPECT_EQ(r.boxes.shown[0].style, mb::kOk | mb::kIconExclamation);
    EXPECT_FALSE(r.state.LaunchRequested);
    EXPECT_TRUE(r.processes.started.empty());
  }
}

}  // namespace
}  // namespace cvi::test
