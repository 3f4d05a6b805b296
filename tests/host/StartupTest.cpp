// Start-up: the upgrade or full-installation decision and what frmInstall shows for each.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "core/Main.h"

namespace cvi::test {
namespace {

constexpr std::uint32_t kRegSz = 1;

TEST(Startup, NoVariableGivesFullInstallation) {
  TestRig r;
  Startup(r.in);
  EXPECT_TRUE(r.state.FullInstallMode);
  EXPECT_FALSE(r.state.UpgradeMode);
  EXPECT_EQ(r.ui.Caption(Form::frmInstall, Ctl::lblTitle), "Install CelvaraStudio version: v3.9");
  EXPECT_EQ(r.ui.Caption(Form::frmInstall, Ctl::txtInstallPath), "C:\\");
  EXPECT_TRUE(r.ui.IsShown(Form::frmInstall));
}

}  // namespace
}  // namespace cvi::test
