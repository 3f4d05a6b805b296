// The three installer windows as data: one table per window, in stacking order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvi {

enum class Form { frmInstall, frmLaunch, frmLaunchFull };
constexpr int kFormCount = 3;

// Every control by name, with its stable control ID, unique within its window; a name used in
// several windows (Image1, lblVersion, Label1) keeps one ID. One list makes both the enum and the
// names, so they cannot drift apart.
#define CVI_CONTROLS(X)      \
  X(None, 0)                 \
  X(frameShortcuts, 101)     \
  X(optBoth, 102)            \
  X(optNone, 103)            \
  X(optStartMenu, 104)       \
  X(optDesktop, 105)         \
  X(txtInstallPath, 106)     \
  X(cmdChange, 107)          \
  X(cmdInstall, 108)         \
  X(cmdCancel, 109)          \
  X(lblTitle, 110)           \
  X(Label6, 111)             \
  X(lblDownLoadError, 112)   \
  X(lblPathError, 113)       \
  X(Label8, 114)             \
  X(lblSize, 115)            \
  X(lblBytesDownloaded, 116) \
  X(lblInProcess, 117)       \
  X(lblDLcomplete, 118)      \
  X(Label4, 119)             \
  X(lblByte, 120)            \
  X(Label2, 121)             \
  X(lblInfo, 122)            \
  X(Image1, 123)             \
  X(cmdExit, 131)            \
  X(cmdLaunch, 132)          \
  X(lblVersion, 133)         \
  X(Label1, 134)             \
  X(cmdFinish, 135)

enum class Ctl : int {
#define CVI_CONTROL_ENUM(name, id) name = id,
  CVI_CONTROLS(CVI_CONTROL_ENUM)
#undef CVI_CONTROL_ENUM
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
