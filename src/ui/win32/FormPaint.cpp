// Painting of the installer's windows: fonts and brushes, labels that show what lies beneath
// them, captions that change faster than the screen, the owner-drawn buttons, the option buttons
// of a scaled window and the picture.
#include "ui/win32/FormWindow.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "ui/win32/FormParts.h"
#include "ui/win32/PictureResource.h"

namespace cvi::win32 {

using form::IsTransparentLabel;
using form::ToColour;
using form::WindowText;

// Every stored font is MS Sans Serif in the ANSI character set; only size and weight vary. That
// face is a bitmap font made for the design's sizes at 96 dpi: at any other size the system draws
// its nearest smaller size or doubles its pixels, so a window drawn larger or smaller than designed
// uses its TrueType twin, made to the same measures.
HFONT Win32FormView::Font(const FormScale& scale, double points, bool bold) {
  const int height = -scale.FontPixels(points);
  const bool scalable = !scale.AsDesigned();
  auto key = std::make_tuple(height, bold, scalable);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    HFONT font =
        CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, scalable ? form::kScalableFontFace : kWindowFontFace);
    it = fonts_.emplace(key, GdiObject(font)).first;
  }
  return static_cast<HFONT>(it->second.Get());
}

HBRUSH Win32FormView::Brush(COLORREF colour) {
  auto it = brushes_.find(colour);
  if (it == brushes_.end()) {
    it = brushes_.emplace(colour, GdiObject(CreateSolidBrush(colour))).first;
  }
  return static_cast<HBRUSH>(it->second.Get());
}

// A label paints its whole area, background included, so a new caption never leaves the old
// one behind.
void Win32FormView::ApplyCaption(ControlWindow& control, const std::string& caption) {
  control.pending = false;
  control.lastCaptionTick = GetTickCount();
  SetWindowTextA(control.hwnd, caption.c_str());
}

void Win32FormView::FlushCaptions(FormWindow& window) {
  for (ControlWindow& control : window.controls) {
    if (control.pending)
      ApplyCaption(control, control.pendingCaption);
  }
}

// A transparent label shows what lies beneath it: the background of its container and the
// controls below it in the stacking order. It paints them itself, so the result does not depend on
// the order in which the system repaints overlapping windows.
void Win32FormView::PaintBeneath(FormWindow& window, ControlWindow& label, HDC dc) {
  HWND parent = GetParent(label.hwnd);
  RECT own;
  GetWindowRect(label.hwnd, &own);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&own), 2);
  RECT area{0, 0, own.right - own.left, own.bottom - own.top};
  COLORREF background = RGB(255, 255, 255);
  if (ControlWindow* container = FindControl(window, parent)) {
    background = ToColour(container->design->back);
  }
  FillRect(dc, &area, Brush(background));

  const std::size_t index = static_cast<std::size_t>(&label - window.controls.data());
  for (std::size_t i = window.controls.size(); i-- > index + 1;) {
    ControlWindow& below = window.controls[i];
    if (!below.hwnd || GetParent(below.hwnd) != parent || !IsWindowVisible(below.hwnd))
      continue;
    RECT rect;
    GetWindowRect(below.hwnd, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    RECT overlap;
    if (!IntersectRect(&overlap, &rect, &own))
      continue;
    OffsetRect(&rect, -own.left, -own.top);
    const ControlDesign& d = *below.design;
    if (d.kind == ControlKind::Image) {
      DrawPictureIn(dc, rect);
    } else if (d.kind == ControlKind::Label && d.opaque) {
      FillRect(dc, &rect, Brush(ToColour(d.back)));
    }
  }
}

// What a transparent label shows beneath it has changed when a control below it appears,
// disappears or moves.
void Win32FormView::RepaintLabelsAbove(FormWindow& window, ControlWindow& control) {
  HWND parent = GetParent(control.hwnd);
  for (ControlWindow& above : window.controls) {
    if (&above == &control)
      break;
    if (above.hwnd && IsTransparentLabel(*above.design) && GetParent(above.hwnd) == parent)
      InvalidateRect(above.hwnd, nullptr, TRUE);
  }
}

LRESULT Win32FormView::ColourStatic(FormWindow& window, HDC dc, HWND child) {
  ControlWindow* control = FindControl(window, child);
  if (!control)
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  const ControlDesign& d = *control->design;
  if (d.kind == ControlKind::TextBox) {
    // A disabled path box keeps its own background and greys its text: it can be read but not
    // edited.
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(dc, ToColour(d.back));
    return reinterpret_cast<LRESULT>(Brush(ToColour(d.back)));
  }
  SetTextColor(dc, ToColour(d.fore));
  if (IsTransparentLabel(d)) {
    PaintBeneath(window, *control, dc);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, ToColour(d.back));
  return reinterpret_cast<LRESULT>(Brush(ToColour(d.back)));
}

void Win32FormView::DrawButton(FormWindow& window, const DRAWITEMSTRUCT& item) {
  ControlWindow* control = FindControl(window, item.hwndItem);
  if (!control)
    return;
  const ControlDesign& d = *control->design;
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  FillRect(dc, &rect, Brush(ToColour(d.back)));
  DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  RECT textRect = rect;
  if (pressed)
    OffsetRect(&textRect, 1, 1);
  DrawCaption(dc, item.hwndItem, textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE, ToColour(d.fore),
              disabled);
  if ((item.itemState & ODS_FOCUS) && !disabled) {
    RECT focus = rect;
    InflateRect(&focus, -4, -4);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, ToColour(d.back));
    DrawFocusRect(dc, &focus);
  }
}

// A control's caption in its own font; a disabled one greyed and embossed, as the system greys its
// own controls.
void Win32FormView::DrawCaption(HDC dc,
                                HWND control,
                                RECT rect,
                                UINT format,
                                COLORREF colour,
                                bool disabled) {
  const std::string text = WindowText(control);
  auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  SelectIn selectFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  if (disabled) {
    RECT shadow = rect;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextA(dc, text.c_str(), -1, &shadow, format);
    colour = GetSysColor(COLOR_GRAYTEXT);
  }
  SetTextColor(dc, colour);
  DrawTextA(dc, text.c_str(), -1, &rect, format);
}

// An option button of a window drawn at another scale than designed: the round box at the scaled
// size of the system's own, then the caption.
void Win32FormView::DrawOption(FormWindow& window, HWND option, HDC dc) {
  ControlWindow* control = FindControl(window, option);
  if (!control)
    return;
  const ControlDesign& d = *control->design;
  RECT rect;
  GetClientRect(option, &rect);
  FillRect(dc, &rect, Brush(ToColour(d.back)));
  const int box = window.scale.ToPixels(form::kOptionBoxTwips);
  const int top = (rect.top + rect.bottom - box) / 2;
  RECT glyph{rect.left, top, rect.left + box, top + box};
  const bool enabled = IsWindowEnabled(option) != FALSE;
  UINT state = DFCS_BUTTONRADIO | (enabled ? 0 : DFCS_INACTIVE);
  if (SendMessageA(option, BM_GETCHECK, 0, 0) == BST_CHECKED)
    state |= DFCS_CHECKED;
  DrawFrameControl(dc, &glyph, DFC_BUTTON, state);
  RECT text = rect;
  text.left = glyph.right + window.scale.ToPixels(form::kOptionGapTwips);
  DrawCaption(dc, option, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, ToColour(d.fore), !enabled);
  if (enabled && GetFocus() == option)
    DrawFocusRect(dc, &text);
}

LRESULT CALLBACK Win32FormView::OptionProc(HWND hwnd,
                                           UINT message,
                                           WPARAM wParam,
                                           LPARAM lParam,
                                           UINT_PTR,
                                           DWORD_PTR data) {
  auto* window = reinterpret_cast<FormWindow*>(data);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      window->view->DrawOption(*window, hwnd, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    // The system paints these changes at once, in its own way; they are painted over again.
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, OptionProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The picture fills its control: unscaled at 96 dpi, smoothly scaled at any other. It is decoded
// when it is first painted, once the window has appeared.
void Win32FormView::DrawPictureIn(HDC dc, const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (!picture_) {
    picture_.Reset(LoadPngResource(instance_, IDB_PRODUCT));
  }
  BITMAP info{};
  if (!picture_ || !GetObjectA(picture_.Get(), sizeof(info), &info)) {
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return;
  }
  MemoryDC memory(CreateCompatibleDC(dc));
  if (!memory)
    return;
  SelectIn selectPicture(memory.Get(), picture_.Get());
  if (width == info.bmWidth && height == info.bmHeight) {
    BitBlt(dc, rect.left, rect.top, width, height, memory.Get(), 0, 0, SRCCOPY);
    return;
  }
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT origin;
  SetBrushOrgEx(dc, 0, 0, &origin);
  StretchBlt(dc, rect.left, rect.top, width, height, memory.Get(), 0, 0, info.bmWidth,
             info.bmHeight, SRCCOPY);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  SetStretchBltMode(dc, oldMode);
}

}  // namespace cvi::win32
