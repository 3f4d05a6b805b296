// The window tables and the control model: layout sanity, tab order, loading and unloading.
#include <gtest/gtest.h>

#include <set>

#include "Doubles.h"
#include "ui/FormScale.h"

namespace cvi::test {
namespace {

const Form kForms[] = {Form::frmInstall, Form::frmLaunch, Form::frmLaunchFull};

TEST(Designs, EveryControlLiesInsideItsContainerAndNamesAreUnique) {
  for (Form form : kForms) {
    SCOPED_TRACE(NameOf(form));
    const FormDesign& d = DesignOf(form);
    std::set<Ctl> names;
    for (std::size_t i = 0; i < d.count; ++i) {
      const ControlDesign& c = d.controls[i];
      SCOPED_TRACE(NameOf(c.name));
      EXPECT_TRUE(names.insert(c.name).second) << "duplicate name";
      int width = d.width, height = d.height;
      if (c.container != Ctl::None) {
        const ControlDesign* frame = FindControl(form, c.container);
        ASSERT_NE(frame, nullptr);
        width = frame->width;
        height = frame->height;
      }
      EXPECT_GE(c.left, 0);
      EXPECT_GE(c.top, 0);
      EXPECT_LE(c.left + c.width, width);
      EXPECT_LE(c.top + c.height, height);
    }
  }
}

TEST(Designs, ClientSizesInPixelsAt96Dpi) {
  EXPECT_EQ(DesignOf(Form::frmInstall).width / kTwipsPerPixel, 500);
  EXPECT_EQ(DesignOf(Form::frmInstall).height / kTwipsPerPixel, 712);
  EXPECT_EQ(DesignOf(Form::frmLaunch).width / kTwipsPerPixel, 474);
  EXPECT_EQ(DesignOf(Form::frmLaunchFull).height / kTwipsPerPixel, 455);
  EXPECT_TRUE(DesignOf(Form::frmInstall).minimizeBox);
  EXPECT_FALSE(DesignOf(Form::frmLaunch).minimizeBox);
}

// frmInstall (7500 x 10680 twips) with a frame of 6 x 25 pixels on work areas of several sizes; at
// the display's own scale the pixels are the system's MulDiv, halves rounded away from zero.
TEST(FormScale, TheDesignShrinksAsAWholeOnlyWhereItDoesNotFit) {
  const struct {
    int dpi, workWidth, workHeight, permille;
  } rows[] = {{96, 506, 737, 1000},
              {96, 506, 736, 998},
              {120, 1366, 718, 778},
              {192, 900, 4000, 894},
              {96, 200, 150, kSmallestPermille}};
  const FormDesign& d = DesignOf(Form::frmInstall);
  for (const auto& row : rows) {
    EXPECT_EQ(FitScale(row.dpi, d.width, d.height, 6, 25, row.workWidth, row.workHeight).permille,
              row.permille)
        << row.dpi << " dpi on " << row.workWidth << "x" << row.workHeight;
  }
  EXPECT_EQ((FormScale{96, 1000}.ToPixels(923)), 62);
  EXPECT_EQ((FormScale{96, 1000}.ToPixels(-600)), -40);
  EXPECT_EQ((FormScale{144, 1000}.FontPixels(9.75)), 20);
  EXPECT_EQ((FormScale{144, 500}.FontPixels(9.75)), 10);
}

TEST(Designs, TitleIsDrawnOverItsStripAndTheStripOverThePicture) {
  const FormDesign& d = DesignOf(Form::frmInstall);
  auto row = [&](Ctl ctl) { return FindControl(Form::frmInstall, ctl) - d.controls; };
  EXPECT_LT(row(Ctl::lblTitle), row(Ctl::Label6));
  EXPECT_LT(row(Ctl::Label6), row(Ctl::Image1));
}

TEST(Forms, TabOrderSkipsLabelsAndDisabledControls) {
  FakeFormView view;
  Forms ui(view);
  const Form f = Form::frmInstall;
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::None), Ctl::cmdCancel);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::cmdCancel), Ctl::cmdInstall);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::cmdInstall), Ctl::cmdChange);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::cmdChange), Ctl::txtInstallPath);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::txtInstallPath), Ctl::cmdCancel);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::cmdCancel, true), Ctl::txtInstallPath);

  // The upgrade display: the path box is disabled and the browse button hidden.
  ui.SetEnabled(f, Ctl::txtInstallPath, false);
  ui.SetVisible(f, Ctl::cmdChange, false);
  EXPECT_EQ(ui.NextInTabOrder(f, Ctl::cmdInstall), Ctl::cmdCancel);
  EXPECT_EQ(ui.NextInTabOrder(Form::frmLaunch, Ctl::None), Ctl::cmdLaunch);
  EXPECT_EQ(ui.NextInTabOrder(Form::frmLaunch, Ctl::cmdLaunch), Ctl::cmdExit);
}

class CountingEvents : public FormEvents {
 public:
  void Click(Form, Ctl ctl) override { clicks.push_back(ctl); }
  bool Unload(Form) override {
    ++unloads;
    return refuse;
  }
  std::vector<Ctl> clicks;
  int unloads = 0;
  bool refuse = false;
};

TEST(Forms, ClicksOnDisabledOrHiddenControlsAreIgnored) {
  FakeFormView view;
  Forms ui(view);
  CountingEvents events;
  ui.SetEvents(&events);
  const Form f = Form::frmInstall;
  ui.Show(f);
  ui.UserClick(f, Ctl::optNone);  // disabled in the design
  ui.SetVisible(f, Ctl::cmdChange, false);
  ui.UserClick(f, Ctl::cmdChange);
  ui.SetEnabled(f, Ctl::cmdInstall, false);
  ui.UserClick(f, Ctl::cmdInstall);
  ui.UserClick(f, Ctl::cmdCancel);
  EXPECT_EQ(events.clicks, std::vector<Ctl>{Ctl::cmdCancel});
}

TEST(Forms, UnloadRecreatesFromTheDesignOnNextUse) {
  FakeFormView view;
  Forms ui(view);
  CountingEvents events;
  ui.SetEvents(&events);
  const Form f = Form::frmLaunch;
  ui.SetCaption(f, Ctl::lblVersion, "changed");  // first use loads the window
  EXPECT_TRUE(ui.IsLoaded(f));
  EXPECT_FALSE(ui.IsShown(f));

  events.refuse = true;
  EXPECT_FALSE(ui.Unload(f));
  EXPECT_TRUE(ui.IsLoaded(f));
  events.refuse = false;
  EXPECT_TRUE(ui.Unload(f));
  EXPECT_FALSE(ui.IsLoaded(f));
  EXPECT_EQ(events.unloads, 2);

  // Hiding or unloading a window that is not loaded has no effect and raises nothing.
  ui.Hide(f);
  EXPECT_TRUE(ui.Unload(f));
  EXPECT_EQ(events.unloads, 2);
  EXPECT_EQ(ui.Caption(f, Ctl::lblVersion), "Upgrade Completed for version: ");
  EXPECT_EQ(view.log, (std::vector<std::string>{"create frmLaunch", "destroy frmLaunch",
                                                "create frmLaunch"}));
}

TEST(Forms, DesignStateAfterLoad) {
  FakeFormView view;
  Forms ui(view);
  const Form f = Form::frmInstall;
  for (Ctl hidden :
       {Ctl::lblPathError, Ctl::lblDownLoadError, Ctl::lblInProcess, Ctl::lblDLcomplete}) {
    EXPECT_FALSE(ui.Visible(f, hidden)) << NameOf(hidden);
  }
  EXPECT_EQ(ui.Caption(f, Ctl::lblBytesDownloaded), "0");
  EXPECT_TRUE(ui.Checked(f, Ctl::optDesktop));
  EXPECT_FALSE(ui.Enabled(f, Ctl::optDesktop));
  EXPECT_DOUBLE_EQ(ui.FontSize(f, Ctl::optBoth), 8.25);
  EXPECT_DOUBLE_EQ(ui.FontSize(f, Ctl::lblTitle), 13.5);
  // Typing into the path box reaches the model without echoing back to the screen.
  const int updates = view.updates;
  ui.UserEdited(f, Ctl::txtInstallPath, "D:\\Apps");
  EXPECT_EQ(ui.Caption(f, Ctl::txtInstallPath), "D:\\Apps");
  EXPECT_EQ(view.updates, updates);
}

}  // namespace
}  // namespace cvi::test
