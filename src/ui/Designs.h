// The three installer windows as data: one table per window, in stacking order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvi {

enum class Form { frmInstall, frmLaunch, frmLaunchFull };
constexpr int kFormCount = 3;

// Every control by name. The value is its stable control ID, unique within its window; a name used
// in several windows (Image1, lblVersion, Label1) keeps one ID.
enum class Ctl : int {
  None = 0,
  // frmInstall
  frameShortcuts = 101,
  optBoth = 102,
  optNone = 103,
  optStartMenu = 104,
  optDesktop = 105,
  txtInstallPath = 106,
  cmdChange = 107,
  cmdInstall = 108,
  cmdCancel = 109,
  lblTitle = 110,
  Label6 = 111,
  lblDownLoadError = 112,
  lblPathError = 113,
  Label8 = 114,
  lblSize = 115,
  lblBytesDownloaded = 116,
  lblInProcess = 117,
  lblDLcomplete = 118,
  Label4 = 119,
  lblByte = 120,
  Label2 = 121,
  lblInfo = 122,
  Image1 = 123,
  // frmLaunch and frmLaunchFull
  cmdExit = 131,
  cmdLaunch = 132,
  lblVersion = 133,
  Label1 = 134,
  cmdFinish = 135,
};

enum class ControlKind { Frame, OptionButton, TextBox, CommandButton, Label, Image };
enum class Align { Left, Center, Right };

struct Rgb {
  std::uint8_t r, g, b;
};

struct ControlDesign {
  Ctl name;
  ControlKind kind;
  const char* caption;
  int left, top, width, height;  // twips, relative to the container
  double fontSize;               // points; 0 = the window font
  Rgb fore;
  Rgb back;
  bool opaque;  // labels: paint the background colour; otherwise the window shows through
  bool visible;
  bool enabled;
  bool checked;  // option buttons
  int tabIndex;  // -1 for controls that never take the focus
  Align align;
  bool wordWrap;
  Ctl container;  // Ctl::None: the window itself
};

struct FormDesign {
  Form name;
  const char* caption;
  int width, height;  // client area, twips
  bool minimizeBox;
  const ControlDesign* controls;  // front to back
  std::size_t count;
};

constexpr int kTwipsPerPixel = 15;  // at 96 dpi
constexpr const char* kWindowFontFace = "MS Sans Serif";
constexpr double kWindowFontSize = 8.25;

const FormDesign& DesignOf(Form form);
// The design row of a control, or null when the window has no such control.
const ControlDesign* FindControl(Form form, Ctl ctl);
const char* NameOf(Form form);
const char* NameOf(Ctl ctl);
// Whether the control can ever take the keyboard focus.
bool TakesFocus(ControlKind kind);

}  // namespace cvi
