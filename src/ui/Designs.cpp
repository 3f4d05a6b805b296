// The stored designs of frmInstall, frmLaunch and frmLaunchFull.
#include "ui/Designs.h"

namespace cvi {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kLightRed{255, 128, 128};
constexpr Rgb kLightOrange{255, 192, 128};
constexpr Rgb kLightYellow{255, 255, 192};
constexpr Rgb kLightCyan{128, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kDarkRed{192, 0, 0};
constexpr Rgb kOrange{255, 128, 0};
constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kMidBlue{0, 0, 192};
constexpr Rgb kBlue{0, 0, 255};

constexpr double kWindowFont = 0;
constexpr bool kShown = true, kHidden = false;
constexpr bool kEnabled = true, kDisabled = false;
constexpr bool kOpaque = true, kTransparent = false;
constexpr bool kWrap = true, kNoWrap = false;
constexpr int kNoTab = -1;

using K = ControlKind;
using A = Align;

// clang-format off
const ControlDesign kInstallControls[] = {
  // name                    kind              caption
  //   left  top   width height font        fore       back          opaque        visible  enabled    checked tab  align      wrap    container
  {Ctl::frameShortcuts, K::Frame, "Create these shortcuts ( ignored; Desktop icon created)",
     675, 5475, 6240, 675, 9.75,       kBlue,     kWhite,       kOpaque,      kShown,  kEnabled,  false, 17, A::Left,   kNoWrap, Ctl::None},
  {Ctl::optBoth, K::OptionButton, "Start Menu && Desktop",
     2760, 270, 2040, 255, kWindowFont, kMidBlue,  kWhite,       kOpaque,      kShown,  kDisabled, false, 21, A::Left,   kNoWrap, Ctl::frameShortcuts},
  {Ctl::optNone, K::OptionButton, "None",
     5070, 270, 1005, 255, kWindowFont, kMidBlue,  kWhite,       kOpaque,      kShown,  kDisabled, false, 20, A::Left,   kNoWrap, Ctl::frameShortcuts},
  {Ctl::optStartMenu, K::OptionButton, "Start Menu",
     1320, 270, 1350, 255, kWindowFont, kMidBlue,  kWhite,       kOpaque,      kShown,  kDisabled, false, 19, A::Left,   kNoWrap, Ctl::frameShortcuts},
  {Ctl::optDesktop, K::OptionButton, "Desktop",
     210, 255, 1185, 255, kWindowFont,  kMidBlue,  kWhite,       kOpaque,      kShown,  kDisabled, true,  18, A::Left,   kNoWrap, Ctl::frameShortcuts},
  {Ctl::txtInstallPath, K::TextBox, "C:\\",
     923, 4125, 5610, 285, 8.25,        kNavy,     kLightYellow, kOpaque,      kShown,  kEnabled,  false, 12, A::Left,   kNoWrap, Ctl::None},
  {Ctl::cmdChange, K::CommandButton, "Change Drive or Path",
     2175, 4545, 3150, 345, 9.75,       kBlack,    kLightOrange, kOpaque,      kShown,  kEnabled,  false, 11, A::Center, kNoWrap, Ctl::None},
  {Ctl::cmdInstall, K::CommandButton, "INSTALL",
     2363, 6285, 2775, 540, 9.75,       kBlack,    kGreen,       kOpaque,      kShown,  kEnabled,  false, 9,  A::Center, kNoWrap, Ctl::None},
  {Ctl::cmdCancel, K::CommandButton, "CANCEL",
     2745, 9720, 2010, 540, 9.75,       kBlack,    kLightRed,    kOpaque,      kShown,  kEnabled,  false, 8,  A::Center, kNoWrap, Ctl::None},
  {Ctl::lblTitle, K::Label, "Install CelvaraStudio version: ",
     1245, 2190, 4965, 510, 13.5,       kNavy,     kWhite,       kTransparent, kShown,  kEnabled,  false, 16, A::Center, kWrap,   Ctl::None},
  {Ctl::Label6, K::Label, "",
     975, 2040, 5265, 630, kWindowFont, kBlack,    kWhite,       kOpaque,      kShown,  kEnabled,  false, 15, A::Left,   kWrap,   Ctl::None},
  {Ctl::lblDownLoadError, K::Label, "Download error message)",
     60, 8610, 7395, 900, 9.75,         kRed,      kLightCyan,   kOpaque,      kHidden, kEnabled,  false, 14, A::Center, kWrap,   Ctl::None},
  {Ctl::lblPathError, K::Label, "Drive or path is invalid",
     60, 4965, 7395, 360, 9.75,         kRed,      kLightCyan,   kOpaque,      kHidden, kEnabled,  false, 13, A::Center, kWrap,   Ctl::None},
  {Ctl::Label8, K::Label, "Disk Drive and Installation Path",
     1800, 3735, 3885, 270, 9.75,       kBlue,     kWhite,       kTransparent, kShown,  kEnabled,  false, 10, A::Center, kWrap,   Ctl::None},
  {Ctl::lblSize, K::Label, "(download is approxiimately 2500000 bytes --- 2.5mb)",
     930, 7320, 5640, 315, 9.75,        kBlue,     kWhite,       kTransparent, kShown,  kEnabled,  false, 7,  A::Center, kWrap,   Ctl::None},
  {Ctl::lblBytesDownloaded, K::Label, "0",
     3090, 7800, 1290, 330, 9.75,       kDarkRed,  kWhite,       kTransparent, kShown,  kEnabled,  false, 6,  A::Right,  kWrap,   Ctl::None},
  {Ctl::lblInProcess, K::Label, "In Process",
     4335, 8250, 1710, 315, 9.75,       kOrange,   kWhite,       kTransparent, kHidden, kEnabled,  false, 5,  A::Left,   kWrap,   Ctl::None},
  {Ctl::lblDLcomplete, K::Label, "COMPLETED",
     5235, 7785, 1710, 330, 9.75,       kOrange,   kWhite,       kTransparent, kHidden, kEnabled,  false, 4,  A::Right,  kWrap,   Ctl::None},
  {Ctl::Label4, K::Label, "File extraction: ",
     1560, 8250, 1710, 315, 9.75,       kBlue,     kWhite,       kTransparent, kShown,  kEnabled,  false, 3,  A::Left,   kWrap,   Ctl::None},
  {Ctl::lblByte, K::Label, "Bytes downloaded:",
     675, 7785, 2220, 330, 9.75,        kBlue,     kWhite,       kTransparent, kShown,  kEnabled,  false, 2,  A::Right,  kWrap,   Ctl::None},
  {Ctl::Label2, K::Label, "Download and preparation Progress",
     1298, 6945, 4905, 360, 12,         kNavy,     kWhite,       kTransparent, kShown,  kEnabled,  false, 1,  A::Center, kWrap,   Ctl::None},
  {Ctl::lblInfo, K::Label, "The software will be installed in a folder named 'CelvaraStudio' at the installation  path you specify.",
     615, 2805, 6270, 960, 12,          kMidBlue,  kWhite,       kTransparent, kShown,  kEnabled,  false, 0,  A::Left,   kWrap,   Ctl::None},
  {Ctl::Image1, K::Image, "",
     795, 315, 5910, 2310, kWindowFont, kBlack,    kWhite,       kTransparent, kShown,  kEnabled,  false, kNoTab, A::Left, kNoWrap, Ctl::None},
};

const ControlDesign kLaunchControls[] = {
  {Ctl::cmdExit, K::CommandButton, "EXIT",
     4410, 5355, 1605, 540, 9.75,       kBlack,    kLightRed,    kOpaque,      kShown,  kEnabled,  false, 1,  A::Center, kNoWrap, Ctl::None},
  {Ctl::cmdLaunch, K::CommandButton, "LAUNCH",
     1035, 5370, 1605, 540, 9.75,       kBlack,    kGreen,       kOpaque,      kShown,  kEnabled,  false, 0,  A::Center, kNoWrap, Ctl::None},
  {Ctl::Image1, K::Image, "",
     600, 465, 5910, 2310, kWindowFont, kBlack,    kWhite,       kTransparent, kShown,  kEnabled,  false, kNoTab, A::Left, kNoWrap, Ctl::None},
  {Ctl::lblVersion, K::Label, "Upgrade Completed for version: ",
     23, 3450, 7065, 690, 13.5,         kNavy,     kWhite,       kTransparent, kShown,  kEnabled,  false, 3,  A::Center, kWrap,   Ctl::None},
  {Ctl::Label1, K::Label, "Click LAUNCH' to start CelvaraStudio immediately.  Click EXIT to launch CelvaraStudio later.",
     690, 4125, 5925, 975, 9.75,        kMidBlue,  kWhite,       kTransparent, kShown,  kEnabled,  false, 2,  A::Left,   kWrap,   Ctl::None},
};

const ControlDesign kLaunchFullControls[] = {
  {Ctl::cmdFinish, K::CommandButton, "Finish",
     2761, 5235, 1605, 540, 9.75,       kBlack,    kGreen,       kOpaque,      kShown,  kEnabled,  false, 0,  A::Center, kNoWrap, Ctl::None},
  {Ctl::Image1, K::Image, "",
     600, 495, 5910, 2310, kWindowFont, kBlack,    kWhite,       kTransparent, kShown,  kEnabled,  false, kNoTab, A::Left, kNoWrap, Ctl::None},
  {Ctl::lblVersion, K::Label, "Installation Completed for version: ",
     113, 3180, 6885, 690, 13.5,        kNavy,     kWhite,       kTransparent, kShown,  kEnabled,  false, 2,  A::Center, kWrap,   Ctl::None},
  {Ctl::Label1, K::Label, "Click 'Finish' to start CelvaraStudio.",
     615, 4275, 5925, 675, 9.75,        kMidBlue,  kWhite,       kTransparent, kShown,  kEnabled,  false, 1,  A::Center, kWrap,   Ctl::None},
};
// clang-format on

template <std::size_t N>
constexpr FormDesign Make(Form form,
                          const char* caption,
                          int width,
                          int height,
                          bool minimizeBox,
                          const ControlDesign (&controls)[N]) {
  return FormDesign{form, caption, width, height, minimizeBox, controls, N};
}

const FormDesign kDesigns[kFormCount] = {
    Make(Form::frmInstall, "CelvaraStudio Installation", 7500, 10680, true, kInstallControls),
    Make(Form::frmLaunch, "Lanuch Celvarastudio", 7110, 6825, false, kLaunchControls),
    Make(Form::frmLaunchFull, "Lanuch Celvarastudio", 7110, 6825, false, kLaunchFullControls),
};

}  // namespace

const FormDesign& DesignOf(Form form) {
  return kDesigns[static_cast<int>(form)];
}

const ControlDesign* FindControl(Form form, Ctl ctl) {
  const FormDesign& design = DesignOf(form);
  for (std::size_t i = 0; i < design.count; ++i) {
    if (design.controls[i].name == ctl)
      return &design.controls[i];
  }
  return nullptr;
}

const char* NameOf(Form form) {
  switch (form) {
    case Form::frmInstall:
      return "frmInstall";
    case Form::frmLaunch:
      return "frmLaunch";
    case Form::frmLaunchFull:
      return "frmLaunchFull";
  }
  return "?";
}

const char* NameOf(Ctl ctl) {
  switch (ctl) {
#define CVI_CONTROL_CASE(name, id) \
  case Ctl::name:                  \
    return #name;
    CVI_CONTROLS(CVI_CONTROL_CASE)
#undef CVI_CONTROL_CASE
  }
  return "?";
}

bool TakesFocus(ControlKind kind) {
  return kind == ControlKind::TextBox || kind == ControlKind::CommandButton ||
         kind == ControlKind::OptionButton;
}

}  // namespace cvi
