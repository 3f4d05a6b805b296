// The released installer, as a user downloads it, installs and then upgrades from the released
// packages. tests/release/test_release.py makes the signed release, serves it on 127.0.0.1 and
// names the installer in CVI_RELEASED_INSTALLER.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"

namespace cvi::e2e {
namespace {

constexpr const char* kFolder = "C:\\Released";
constexpr const char* kProduct = "C:\\Released\\CelvaraStudio";
constexpr const char* kProductWindowTitle = "CelvaraStudio v3.9";

std::string ReleasedInstaller() {
  char value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("CVI_RELEASED_INSTALLER", value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? ToWindowsPath(std::string(value, length)) : "";
}

// Whatever a failed run leaves open goes with it.
class Release : public testing::Test {
 protected:
  void TearDown() override {
    for (HWND window : TopLevelWindows()) {
      const std::string title = WindowText(window);
      if (title == kProductWindowTitle || title.rfind("WinZip Self-Extractor", 0) == 0)
        Close(window);
    }
  }
};

TEST_F(Release, InstallsThenUpgradesFromTheReleasedPackages) {
  const std::string installer = ReleasedInstaller();
  ASSERT_FALSE(installer.empty()) << "CVI_RELEASED_INSTALLER names no installer";
  DeleteSysEnvVar("CelvaraStudio");
  DeleteTree(kFolder);
  ASSERT_TRUE(CreateFolders(kFolder));

  struct Run {
    bool upgrade;
    const char* log;
    const char* completed;
    Ctl button;
  };
  for (const Run& run :
       {Run{false, "CVInstall_v3.9.txt", "Installation Completed for version: v3.9",
            Ctl::cmdFinish},
        Run{true, "CVUpgrade_v3.9.txt", "Upgrade Completed for version: v3.9", Ctl::cmdExit}}) {
    SCOPED_TRACE(run.log);
    Process process;
    ASSERT_TRUE(process.Start("\"" + installer + "\""));
    HWND form = WaitForWindow(kInstallWindowTitle, process.Id(), 15000);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(WindowText(FindChild(form, Ctl::cmdInstall)), run.upgrade ? "UPGRADE" : "INSTALL");
    if (!run.upgrade)
      SetWindowTextA(FindChild(form, Ctl::txtInstallPath), kFolder);
    Click(FindChild(form, Ctl::cmdInstall));
    HWND done = WaitForWindow(kLaunchWindowTitle, process.Id(), 60000);
    ASSERT_NE(done, nullptr) << WindowText(FindChild(form, Ctl::lblDownLoadError));
    EXPECT_EQ(WindowText(FindChild(done, Ctl::lblVersion)), run.completed);
    EXPECT_TRUE(FileExists(std::string(kProduct) + "\\" + run.log));
    EXPECT_TRUE(FileExists(std::string(kProduct) + "\\CelvaraStudio.exe"));
    Click(FindChild(done, run.button));
    EXPECT_TRUE(process.WaitForExit(10000));
    if (!run.upgrade) {
      EXPECT_TRUE(FileExists(std::string(kProduct) + "\\CelvaraStudioUserGuide.htm"));
      HWND product = WaitForWindow(kProductWindowTitle, 0, 10000);
      ASSERT_NE(product, nullptr) << "Finish did not start the installed product";
      Close(product);
      ASSERT_TRUE(SetSysEnvVar("CelvaraStudio", kProduct));
    }
  }
  DeleteSysEnvVar("CelvaraStudio");
}

}  // namespace
}  // namespace cvi::e2e
