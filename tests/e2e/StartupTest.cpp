// Start-up of the real installer: the machine-wide variable and the product file decide between
// the full-install and the upgrade display.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "Driver.h"

namespace cvi {
namespace {

using e2e::Enabled;
using e2e::Visible;
using e2e::WindowText;

constexpr const char* kProductFolder = "C:\\Apps\\CelvaraStudio";
constexpr const char* kProductExe = "C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe";
constexpr const char* kVariable = "CelvaraStudio";

enum class Product { None, Present, Hidden };
enum class Mode { FullInstall, Upgrade };

struct StartupRow {
  const char* label;
  const char* variable;  // null: the variable does not exist
  Product product;
  Mode expected;
};

void PrintTo(const StartupRow& row, std::ostream* out) {
  *out << row.label;
}

int DesignTopPixels(Ctl ctl) {
  return FindControl(Form::frmInstall, ctl)->top / kTwipsPerPixel;
}

class StartupTest : public testing::TestWithParam<StartupRow> {
 protected:
  void SetUp() override {
    e2e::DeleteSysEnvVar(kVariable);
    e2e::DeleteTree(kProductFolder);
  }
  void TearDown() override {
    run_.process().Kill();
    e2e::DeleteSysEnvVar(kVariable);
    e2e::DeleteTree(kProductFolder);
  }

  e2e::InstallerRun run_;
};

TEST_P(StartupTest, ShowsTheDisplayOfItsMode) {
  const StartupRow& row = GetParam();
  ASSERT_TRUE(e2e::CreateFolders(kProductFolder));
  if (row.product != Product::None) {
    ASSERT_TRUE(CopyFileA(e2e::SampleProductExe().c_str(), kProductExe, FALSE));
  }
  if (row.product == Product::Hidden) {
    ASSERT_TRUE(SetFileAttributesA(kProductExe, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(0u, GetFileAttributesA(kProductExe) & FILE_ATTRIBUTE_HIDDEN)
        << "this file system cannot keep the hidden attribute";
  }
  if (row.variable != nullptr) {
    ASSERT_TRUE(e2e::SetSysEnvVar(kVariable, row.variable));
  }

  ASSERT_TRUE(run_.Start()) << "no installer window";
  HWND install = run_[Ctl::cmdInstall];
  HWND path = run_[Ctl::txtInstallPath];
  ASSERT_NE(nullptr, install);
  ASSERT_NE(nullptr, path);
  const int top = e2e::RectInWindow(install).top;

  if (row.expected == Mode::FullInstall) {
    EXPECT_EQ("Install CelvaraStudio version: v3.9", WindowText(run_[Ctl::lblTitle]));
    EXPECT_EQ("INSTALL", WindowText(install));
    EXPECT_NEAR(DesignTopPixels(Ctl::cmdInstall), top, 1);
    EXPECT_EQ("C:\\", WindowText(path));
    EXPECT_TRUE(Enabled(path));
    EXPECT_TRUE(Visible(run_[Ctl::cmdChange]));
    EXPECT_TRUE(Visible(run_[Ctl::frameShortcuts]));
    EXPECT_EQ("(download is approxiimately 2500000 bytes --- 2.5mb)",
              WindowText(run_[Ctl::lblSize]));
    EXPECT_EQ(FindControl(Form::frmInstall, Ctl::lblInfo)->caption, WindowText(run_[Ctl::lblInfo]));
  } else {
    EXPECT_EQ("Upgrade CelvaraStudio to: v3.9", WindowText(run_[Ctl::lblTitle]));
    EXPECT_EQ("UPGRADE", WindowText(install));
    EXPECT_NEAR(DesignTopPixels(Ctl::cmdInstall) - 40, top, 1);
    EXPECT_EQ(row.variable, WindowText(path));
    EXPECT_FALSE(Enabled(path));
    EXPECT_FALSE(Visible(run_[Ctl::cmdChange]));
    EXPECT_FALSE(Visible(run_[Ctl::frameShortcuts]));
    EXPECT_FALSE(Visible(run_[Ctl::optDesktop]));
    EXPECT_EQ("(Download size is from 350KB to 1.5MB)", WindowText(run_[Ctl::lblSize]));
    EXPECT_EQ(
        "Since CelvaraStudio is already installed at the path below, this will be an Upgrade to "
        "the new version.",
        WindowText(run_[Ctl::lblInfo]));
  }
  EXPECT_TRUE(Visible(install));
  EXPECT_TRUE(Enabled(install));
  EXPECT_NE("", e2e::SaveScreenshot(run_.Window(), std::string("startup-") + row.label));
}

INSTANTIATE_TEST_SUITE_P(
    Decision,
    StartupTest,
    testing::Values(StartupRow{"NoVariable", nullptr, Product::Present, Mode::FullInstall},
                    StartupRow{"ProductInFolder", kProductFolder, Product::Present, Mode::Upgrade},
                    StartupRow{"ProductMissing", kProductFolder, Product::None, Mode::FullInstall},
                    StartupRow{"ProductHidden", kProductFolder, Product::Hidden, Mode::FullInstall},
                    // The doubled backslash before the file name still names the file.
                    StartupRow{"TrailingBackslash", "C:\\Apps\\CelvaraStudio\\", Product::Present,
                               Mode::Upgrade},
                    StartupRow{"FolderOnMissingDrive", "Q:\\Apps\\CelvaraStudio", Product::Present,
                               Mode::FullInstall},
                    StartupRow{"EmptyVariable", "", Product::Present, Mode::FullInstall}),
    [](const testing::TestParamInfo<StartupRow>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace cvi
