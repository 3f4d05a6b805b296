// Start-up: the upgrade or full-installation decision and what frmInstall shows for each.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "app/Main.h"

namespace cvi::test {
namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr Form kF = Form::frmInstall;

void ExpectFullInstallDisplay(TestRig& r) {
  EXPECT_TRUE(r.state.FullInstallMode);
  EXPECT_FALSE(r.state.UpgradeMode);
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblTitle), "Install CelvaraStudio version: v3.9");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "C:\\");
  EXPECT_TRUE(r.ui.Enabled(kF, Ctl::txtInstallPath));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::cmdInstall), "INSTALL");
  EXPECT_DOUBLE_EQ(r.ui.Top(kF, Ctl::cmdInstall), 6285.0 / 15);
  EXPECT_TRUE(r.ui.Visible(kF, Ctl::cmdChange));
  EXPECT_TRUE(r.ui.Visible(kF, Ctl::frameShortcuts));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblSize), "(download is approxiimately 2500000 bytes --- 2.5mb)");
  EXPECT_TRUE(r.ui.IsShown(kF));
}

TEST(Startup, FillsTheFixedTexts) {
  TestRig r;
  Startup(r.in);
  EXPECT_EQ(r.state.MessageTitle, "CelvaraStudio Install/Upgrade");
  EXPECT_EQ(r.state.ProductEnvVarName, "CelvaraStudio");
  EXPECT_EQ(r.state.DriveTypeNames[0], "unknown drive");
  EXPECT_EQ(r.state.DriveTypeNames[3], "fixed-drive (local to current PC)");
  EXPECT_EQ(r.state.DriveTypeNames[6], "RAM disk");
  // The variable is read from the machine-wide environment key, for reading only.
  EXPECT_EQ(r.registry.lastRoot, Registry::kLocalMachine);
  EXPECT_EQ(r.registry.lastSubKey,
            "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  EXPECT_EQ(r.registry.lastAccess, Registry::kKeyRead);
}

TEST(Startup, NoVariableGivesFullInstallation) {
  TestRig r;
  Startup(r.in);
  ExpectFullInstallDisplay(r);
  EXPECT_FALSE(r.state.ProductEnvVarFound);
  EXPECT_EQ(r.state.InstallPath, "");
  EXPECT_TRUE(r.files.lookups.empty());
}

TEST(Startup, InstalledProductGivesUpgrade) {
  TestRig r;
  r.registry.Set("CelvaraStudio", kRegSz, std::string("C:\\Apps\\CelvaraStudio") + '\0');
  r.files.AddFolder("C:\\Apps");
  r.files.AddFolder("C:\\Apps\\CelvaraStudio");
  r.files.AddFile("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  Startup(r.in);

  EXPECT_TRUE(r.state.UpgradeMode);
  EXPECT_FALSE(r.state.FullInstallMode);
  EXPECT_EQ(r.state.InstallPath, "C:\\Apps\\CelvaraStudio");
  EXPECT_EQ(r.state.ProductExePath, "C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblTitle), "Upgrade CelvaraStudio to: v3.9");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblSize), "(Download size is from 350KB to 1.5MB)");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "C:\\Apps\\CelvaraStudio");
  EXPECT_FALSE(r.ui.Enabled(kF, Ctl::txtInstallPath));
  EXPECT_FALSE(r.ui.Visible(kF, Ctl::cmdChange));
  EXPECT_FALSE(r.ui.Visible(kF, Ctl::frameShortcuts));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblInfo),
            "Since CelvaraStudio is already installed at the path below, this will be an Upgrade "
            "to the new version.");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::cmdInstall), "UPGRADE");
  EXPECT_DOUBLE_EQ(r.ui.Top(kF, Ctl::cmdInstall), 6285.0 / 15 - 40);
  EXPECT_TRUE(r.ui.IsShown(kF));
}

// Rows where the variable is read but the product is not found as an ordinary file.
TEST(Startup, VariableWithoutUsableProductGivesFullInstallation) {
  struct Row {
    const char* name;
    bool folderExists;
    bool exeExists;
    bool exeHidden;
    bool exeIsFolder;
  };
  const Row rows[] = {
      {"folder missing", false, false, false, false},
      {"exe missing", true, false, false, false},
      {"exe hidden", true, true, true, false},
      {"exe is a folder", true, false, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestRig r;
    r.registry.Set("CELVARASTUDIO", kRegSz, std::string("D:\\Tools\\Celvara") + '\0');
    if (row.folderExists)
      r.files.AddFolder("D:\\Tools\\Celvara");
    if (row.exeExists)
      r.files.AddFile("D:\\Tools\\Celvara\\CelvaraStudio.exe", row.exeHidden);
    if (row.exeIsFolder)
      r.files.AddFolder("D:\\Tools\\Celvara\\CelvaraStudio.exe");
    Startup(r.in);
    ExpectFullInstallDisplay(r);
    EXPECT_TRUE(r.state.ProductEnvVarFound);
    // The variable's text is kept, though not shown.
    EXPECT_EQ(r.state.InstallPath, "D:\\Tools\\Celvara");
  }
}

TEST(Startup, TrailingBackslashLooksUpADoubledSeparator) {
  TestRig r;
  r.registry.Set("CelvaraStudio", kRegSz, std::string("C:\\Apps\\CelvaraStudio\\") + '\0');
  r.files.AddFolder("C:\\Apps\\CelvaraStudio");
  r.files.AddFile("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  Startup(r.in);
  ASSERT_EQ(r.files.lookups.size(), 1u);
  EXPECT_EQ(r.files.lookups[0], "C:\\Apps\\CelvaraStudio\\\\CelvaraStudio.exe");
  // The file system folds the doubled separator, so this is an upgrade.
  EXPECT_TRUE(r.state.UpgradeMode);
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), "C:\\Apps\\CelvaraStudio\\");
}

TEST(Startup, UnreadableKeyGivesFullInstallationSilently) {
  TestRig r;
  r.registry.openStatus = 5;  // access denied
  Startup(r.in);
  ExpectFullInstallDisplay(r);
  EXPECT_TRUE(r.boxes.shown.empty());
  EXPECT_EQ(r.registry.openKeys, 0);
}

TEST(Startup, OnlyTheModeFlagAndTheVariableFlagAreRaised) {
  TestRig r;
  Startup(r.in);
  const InstallerState& s = r.state;
  EXPECT_FALSE(s.CancelRequested || s.QuitRequested || s.LaunchWindowClosed || s.InstallCompleted ||
               s.LaunchRequested || s.InstallInProgress);
}

}  // namespace
}  // namespace cvi::test
