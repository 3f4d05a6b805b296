// Ending the real installer from its window: CANCEL and the close command, whatever other
// programs do to its shared timer; and one installer at a time, elevated or not.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "Driver.h"

// After Driver.h, which brings <windows.h>.
#include <sddl.h>

namespace cvi {
namespace {

class MainLoopEndTest : public testing::Test {
 protected:
  void SetUp() override {
    e2e::DeleteSysEnvVar("CelvaraStudio");
    ASSERT_TRUE(run_.Start()) << "no installer window";
  }

  e2e::InstallerRun run_;
};

TEST_F(MainLoopEndTest, CancelEndsTheRunAtOnceWithoutAMessage) {
  const ULONGLONG start = GetTickCount64();
  e2e::Click(run_[Ctl::cmdCancel]);
  DWORD exitCode = 1;
  ASSERT_TRUE(run_.process().WaitForExit(3000, &exitCode)) << "still running after 3 s";
  EXPECT_LT(GetTickCount64() - start, 3000u);
  EXPECT_EQ(0u, exitCode);
  EXPECT_EQ(nullptr, e2e::FindMessageBox(e2e::kMessageTitle));
}

// Closing the window while nothing runs must not leave a process without a window behind.
TEST_F(MainLoopEndTest, ClosingTheWindowEndsTheRun) {
  e2e::Close(run_.Window());
  DWORD exitCode = 1;
  ASSERT_TRUE(run_.process().WaitForExit(3000, &exitCode)) << "still running after 3 s";
  EXPECT_EQ(0u, exitCode);
}

// Another program that keeps cancelling the shared named timer cannot hold the main loop's wait:
// CANCEL still ends the run. Meanwhile this process waits on the same timer too, and each of its
// waits still returns.
TEST_F(MainLoopEndTest, CancelEndsTheRunWhileAnotherProgramCancelsTheSharedTimer) {
  win32::KernelHandle timer(CreateWaitableTimerA(nullptr, TRUE, "CelvaraStudioTimer"));
  ASSERT_TRUE(timer.Valid());
  std::atomic<bool> stop{false};
  // It gives up after a while and fires the timer, so that a wait it held ends and fails.
  std::thread meddler([&] {
    const ULONGLONG end = GetTickCount64() + 8000;
    while (!stop && GetTickCount64() < end) {
      CancelWaitableTimer(timer.Get());
      Sleep(2);
    }
    LARGE_INTEGER now{};
    SetWaitableTimer(timer.Get(), &now, 0, nullptr, nullptr, FALSE);
  });
  Sleep(300);
  win32::Win32EventPump pump;
  for (int i = 0; i < 5; ++i) {
    const ULONGLONG before = GetTickCount64();
    pump.WaitMilliseconds(100);
    EXPECT_LE(GetTickCount64() - before, 1000u) << "a wait of this process was held";
  }
  const ULONGLONG start = GetTickCount64();
  e2e::Click(run_[Ctl::cmdCancel]);
  const bool ended = run_.process().WaitForExit(3000);
  stop = true;
  meddler.join();
  EXPECT_TRUE(ended) << "still running 3 s after CANCEL";
  EXPECT_LT(GetTickCount64() - start, 3000u);
}

// A second installer in the session shows no window of its own: it brings the first one to the
// front and ends.
TEST_F(MainLoopEndTest, ASecondInstallerBringsTheFirstToTheFrontAndEnds) {
  win32::WindowHandle other(CreateWindowExA(0, "STATIC", "Another program", WS_POPUP | WS_VISIBLE,
                                            0, 0, 200, 100, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(other.Valid());
  SetForegroundWindow(other.Get());
  ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == other.Get(); }));

  e2e::Process second;
  ASSERT_TRUE(e2e::StartInstaller(second));
  bool showedAWindow = false;
  const bool ended = e2e::WaitUntil(
      [&] {
        for (HWND window : e2e::TopLevelWindows(second.Id()))
          showedAWindow = showedAWindow || e2e::Visible(window);
        return !second.Running();
      },
      10000);
  DWORD exitCode = 1;
  ASSERT_TRUE(ended && second.WaitForExit(0, &exitCode)) << "the second installer still runs";
  EXPECT_EQ(0u, exitCode);
  EXPECT_FALSE(showedAWindow);
  EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == run_.Window(); }))
      << "the first installer was not brought to the front";
  EXPECT_TRUE(run_.process().Running());
}

// An installer started as administrator holds the session's claim where a standard user's copy
// may not even open it; a claim that only SYSTEM may open stands in for it. The new copy shows no
// installer window: it says why and ends.
TEST(SessionClaimOutOfReach, TheNewInstallerSaysSoAndEnds) {
  PSECURITY_DESCRIPTOR systemOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;;GA;;;SY)", SDDL_REVISION_1, &systemOnly, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, systemOnly, FALSE};
  win32::KernelHandle claim(CreateMutexA(&attributes, FALSE, "Local\\CelvaraStudioInstaller"));
  LocalFree(systemOnly);
  ASSERT_TRUE(claim.Valid());

  e2e::Process second;
  ASSERT_TRUE(e2e::StartInstaller(second));
  HWND box = e2e::WaitForMessageBox(e2e::kMessageTitle, second.Id());
  ASSERT_NE(box, nullptr) << "no message";
  EXPECT_NE(e2e::MessageBoxText(box).find("already running, perhaps as administrator"),
            std::string::npos);
  EXPECT_EQ(e2e::FindWindowByTitle(e2e::kInstallWindowTitle, second.Id()), nullptr);
  e2e::AnswerMessageBox(box, IDOK);
  DWORD exitCode = 1;
  ASSERT_TRUE(second.WaitForExit(5000, &exitCode)) << "still running after the message";
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
}  // namespace cvi
