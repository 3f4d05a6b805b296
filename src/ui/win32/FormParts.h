// What the pieces of the Win32 form view share: colours, captions and the label rules.
#pragma once

#include <windows.h>

#include <string>

#include "ui/Designs.h"

namespace cvi::win32::form {

constexpr UINT_PTR kCaptionTimer = 1;
// A label shows a new caption at most this often; a faster stream of changes (the byte counter
// of a download) is applied from a timer, so the screen never lags by more than a few ticks.
constexpr DWORD kCaptionInterval = 20;
// The TrueType twin of the design's bitmap face "MS Sans Serif".
constexpr const char* kScalableFontFace = "Microsoft Sans Serif";
// An option button's round box and the space before its caption, as the system draws them at
// 96 dpi (13 and 4 pixels).
constexpr int kOptionBoxTwips = 195;
constexpr int kOptionGapTwips = 60;

inline COLORREF ToColour(Rgb rgb) {
  return RGB(rgb.r, rgb.g, rgb.b);
}

inline bool IsTransparentLabel(const ControlDesign& design) {
  return design.kind == ControlKind::Label && !design.opaque;
}

inline std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0)
    return "";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

}  // namespace cvi::win32::form
