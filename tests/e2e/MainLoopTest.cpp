// Ending the real installer from its window: CANCEL and the close command.
#include <gtest/gtest.h>

#include "Driver.h"

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

}  // namespace
}  // namespace cvi
