// The installer window as the real renderer builds it: frame, size, controls at their design
// places, initial state and keyboard order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Driver.h"
#include "E2ePaths.h"

namespace cvi {
namespace {

using e2e::Visible;
using e2e::WindowText;

class InstallWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    e2e::DeleteSysEnvVar("CelvaraStudio");
    ASSERT_TRUE(run_.Start()) << "no installer window";
  }

  e2e::InstallerRun run_;
};

TEST_F(InstallWindowTest, FrameIsAFixedDialogWithoutTaskBarButton) {
  HWND window = run_.Window();
  const SIZE client = e2e::ClientSize(window);
  EXPECT_EQ(500, client.cx);
  EXPECT_EQ(712, client.cy);
  const LONG_PTR style = e2e::Style(window);
  EXPECT_EQ(0, style & WS_MAXIMIZEBOX);
  EXPECT_NE(0, style & WS_MINIMIZEBOX);
  EXPECT_NE(0, style & WS_SYSMENU);
  EXPECT_EQ(0, style & WS_THICKFRAME) << "the window must not be resizable";
  // A top-level window gets a task-bar button unless it is owned or a tool window.
  const LONG_PTR exStyle = e2e::ExStyle(window);
  EXPECT_EQ(0, exStyle & WS_EX_APPWINDOW);
  EXPECT_TRUE(GetWindow(window, GW_OWNER) != nullptr || (exStyle & WS_EX_TOOLWINDOW) != 0);
  e2e::SaveScreenshot(window, "install-window");
}

// Every control of the design where the design puts it, in pixels at 96 dpi; the controls of the
// shortcut frame are placed relative to the frame.
TEST_F(InstallWindowTest, ControlsAreAtTheirDesignPlaces) {
  const FormDesign& design = DesignOf(Form::frmInstall);
  for (std::size_t i = 0; i < design.count; ++i) {
    const ControlDesign& row = design.controls[i];
    SCOPED_TRACE(NameOf(row.name));
    HWND control = run_[row.name];
    if (!row.visible) {
      EXPECT_EQ(nullptr, control) << "a hidden control is made when it is first shown";
      continue;
    }
    ASSERT_NE(nullptr, control);
    int left = row.left, top = row.top;
    if (row.container != Ctl::None) {
      const ControlDesign* frame = FindControl(Form::frmInstall, row.container);
      left += frame->left;
      top += frame->top;
    }
    const RECT rect = e2e::RectInWindow(control);
    EXPECT_NEAR(left / kTwipsPerPixel, rect.left, 1);
    EXPECT_NEAR(top / kTwipsPerPixel, rect.top, 1);
    EXPECT_NEAR(row.width / kTwipsPerPixel, rect.right - rect.left, 1);
    EXPECT_NEAR(row.height / kTwipsPerPixel, rect.bottom - rect.top, 1);
    EXPECT_TRUE(Visible(control));
  }
}

// At 96 dpi the picture shows exactly the pixels of the bitmap the build draws, down to the white
// strip laid over its bottom.
TEST_F(InstallWindowTest, PictureShowsTheBitmapsPixels) {
  const std::string bmp = e2e::ReadWholeFile(e2e::ToWindowsPath(CVI_E2E_PICTURE_BMP));
  ASSERT_EQ(bmp.size(), 182390u);
  const int width = 394;
  const int height = 154;
  const std::size_t bmpRow = (width * 3 + 3) & ~3;
  const int rows = (FindControl(Form::frmInstall, Ctl::Label6)->top -
                    FindControl(Form::frmInstall, Ctl::Image1)->top) /
                   kTwipsPerPixel;
  RECT rect;
  ASSERT_TRUE(GetWindowRect(run_[Ctl::Image1], &rect));
  ASSERT_EQ(rect.right - rect.left, width);
  ASSERT_EQ(rect.bottom - rect.top, height);
  rect.bottom = rect.top + rows;
  int differing = 0;
  e2e::WaitUntil([&] {
    const std::vector<BYTE> shown = e2e::ScreenPixels(rect);
    differing = shown.empty() ? width * rows : 0;
    for (int y = 0; y < rows && !shown.empty(); ++y) {
      const char* bgr = &bmp[54 + (height - 1 - y) * bmpRow];
      for (int x = 0; x < width; ++x) {
        const BYTE* rgb = &shown[(y * width + x) * 3];
        differing += rgb[0] != BYTE(bgr[3 * x + 2]) || rgb[1] != BYTE(bgr[3 * x + 1]) ||
                     rgb[2] != BYTE(bgr[3 * x]);
      }
    }
    return differing == 0;
  });
  EXPECT_EQ(differing, 0) << "pixels of " << width * rows;
}

TEST_F(InstallWindowTest, FreshStartShowsNoMessagesAndNoProgress) {
  for (Ctl hidden :
       {Ctl::lblPathError, Ctl::lblDownLoadError, Ctl::lblInProcess, Ctl::lblDLcomplete}) {
    EXPECT_FALSE(Visible(run_[hidden])) << NameOf(hidden);
  }
  EXPECT_EQ("0", WindowText(run_[Ctl::lblBytesDownloaded]));
  EXPECT_EQ("C:\\", WindowText(run_[Ctl::txtInstallPath]));
  EXPECT_EQ("CelvaraStudio Installation", WindowText(run_.Window()));
}

TEST_F(InstallWindowTest, ShortcutChoiceIsShownButCannotBeChanged) {
  for (Ctl option : {Ctl::optBoth, Ctl::optNone, Ctl::optStartMenu, Ctl::optDesktop}) {
    EXPECT_TRUE(Visible(run_[option])) << NameOf(option);
    EXPECT_FALSE(e2e::Enabled(run_[option])) << NameOf(option);
  }
  EXPECT_EQ(BST_CHECKED, e2e::CheckState(run_[Ctl::optDesktop]));
  EXPECT_EQ(BST_UNCHECKED, e2e::CheckState(run_[Ctl::optBoth]));
  // The doubled ampersand is what the control holds; it draws as one "&".
  EXPECT_EQ("Start Menu && Desktop", WindowText(run_[Ctl::optBoth]));
}

TEST_F(InstallWindowTest, TabMovesThroughTheButtonsAndThePathBox) {
  HWND window = run_.Window();
  HWND cancel = run_[Ctl::cmdCancel];
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FocusedControl(window) == cancel; }))
      << "CANCEL does not have the focus at start";
  const Ctl order[] = {Ctl::cmdInstall, Ctl::cmdChange, Ctl::txtInstallPath, Ctl::cmdCancel};
  for (Ctl next : order) {
    e2e::PressTab(window);
    HWND expected = run_[next];
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusedControl(window) == expected; }, 2000))
        << "Tab should reach " << NameOf(next);
  }
  e2e::PressTab(window, true);
  HWND path = run_[Ctl::txtInstallPath];
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusedControl(window) == path; }, 2000))
      << "Shift+Tab should go back to the path box";
}

}  // namespace
}  // namespace cvi
