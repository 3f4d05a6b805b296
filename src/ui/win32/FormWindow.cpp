// Draws the installer's windows from their designs and routes the user's actions to the model.
#include "ui/win32/FormWindow.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cmath>
#include <exception>

#include "resources/resource.h"

namespace cvi::win32 {
namespace {

constexpr const char* kFormClass = "CVInstallForm";
constexpr int kTwipsPerInch = 1440;
constexpr UINT_PTR kCaptionTimer = 1;
// A label shows a new caption at most this often; a faster stream of changes (the byte counter
// of a download) is applied from a timer, so the screen never lags by more than a few ticks.
constexpr DWORD kCaptionInterval = 20;

COLORREF ToColour(Rgb rgb) {
  return RGB(rgb.r, rgb.g, rgb.b);
}

bool IsTransparentLabel(const ControlDesign& design) {
  return design.kind == ControlKind::Label && !design.opaque;
}

DWORD LabelAlignment(const ControlDesign& design) {
  switch (design.align) {
    case Align::Center:
      return SS_CENTER;
    case Align::Right:
      return SS_RIGHT;
    case Align::Left:
      break;
  }
  return design.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

int ScreenDpi(int index) {
  WindowDC screen(nullptr);
  const int dpi = screen.Get() ? GetDeviceCaps(screen.Get(), index) : 0;
  return dpi > 0 ? dpi : 96;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0)
    return "";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

}  // namespace

Win32FormView::Win32FormView(HINSTANCE instance, Win32Screen& screen)
    : instance_(instance), screen_(screen) {
  dpiX_ = ScreenDpi(LOGPIXELSX);
  dpiY_ = ScreenDpi(LOGPIXELSY);
  bigIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_CVINSTALL), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           LR_SHARED));
  smallIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_CVINSTALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  picture_.Reset(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_PRODUCT), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FormProc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kFormClass;
  RegisterClassExA(&wc);

  // The windows are owned by this hidden one, which keeps them off the task bar.
  owner_.Reset(CreateWindowExA(0, kFormClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                               nullptr));
}

Win32FormView::~Win32FormView() {
  for (auto& window : windows_) {
    std::unique_ptr<FormWindow> gone = std::move(window);
    if (gone && gone->hwnd)
      DestroyWindow(gone->hwnd);
  }
}

int Win32FormView::ToPixelsX(double twips) const {
  return MulDiv(static_cast<int>(std::lround(twips)), dpiX_, kTwipsPerInch);
}

int Win32FormView::ToPixelsY(double twips) const {
  return MulDiv(static_cast<int>(std::lround(twips)), dpiY_, kTwipsPerInch);
}

// Every stored font is MS Sans Serif in the ANSI character set; only size and weight vary.
HFONT Win32FormView::Font(double points, bool bold) {
  const int hundredths = static_cast<int>(std::lround(points * 100));
  auto key = std::make_pair(hundredths, bold);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    const int height = -MulDiv(hundredths, dpiY_, 72 * 100);
    HFONT font = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, kWindowFontFace);
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

void Win32FormView::Create(const FormDesign& design, const std::vector<ControlState>& controls) {
  const int index = static_cast<int>(design.name);
  if (windows_[index])
    Destroy(design.name);
  auto window = std::make_unique<FormWindow>();
  window->view = this;
  window->form = design.name;
  window->design = &design;

  // Every control paints all of its own area (a transparent label paints what lies beneath it),
  // so the window never paints under them and nothing flickers.
  const DWORD style =
      WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (design.minimizeBox ? WS_MINIMIZEBOX : 0);
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, ToPixelsX(design.width), ToPixelsY(design.height)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  // Centred, but never with the title bar off the screen when the window is taller than it.
  const int x = (std::max)(work.left, work.left + ((work.right - work.left) - width) / 2);
  const int y = (std::max)(work.top, work.top + ((work.bottom - work.top) - height) / 2);

  FormWindow* raw = window.get();
  windows_[index] = std::move(window);
  HWND hwnd = CreateWindowExA(exStyle, kFormClass, design.caption, style, x, y, width, height,
                              owner_.Get(), nullptr, instance_, raw);
  if (!hwnd) {
    windows_[index].reset();
    return;
  }
  raw->hwnd = hwnd;
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  raw->controls.resize(design.count);
  for (std::size_t i = 0; i < design.count; ++i) {
    raw->controls[i].design = &design.controls[i];
    raw->controls[i].lastCaptionTick = GetTickCount() - 10 * kCaptionInterval;
  }
  // Containers first, so that what they hold can be made their children.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < design.count; ++i) {
      const bool contained = design.controls[i].container != Ctl::None;
      if (contained == (pass == 1))
        CreateControl(*raw, raw->controls[i], controls[i]);
    }
  }
  // The table lists the controls front to back; putting each one at the bottom in that order
  // leaves the first row on top.
  for (ControlWindow& control : raw->controls) {
    if (control.hwnd) {
      SetWindowPos(control.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
  }
}

void Win32FormView::CreateControl(FormWindow& window,
                                  ControlWindow& control,
                                  const ControlState& state) {
  const ControlDesign& d = *control.design;
  HWND parent = window.hwnd;
  if (d.container != Ctl::None) {
    if (ControlWindow* container = FindControl(window, d.container))
      parent = container->hwnd;
  }
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  const char* className = "STATIC";
  switch (d.kind) {
    case ControlKind::Label:
      style |= LabelAlignment(d);
      break;
    case ControlKind::TextBox:
      className = "EDIT";
      style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::CommandButton:
      className = "BUTTON";
      style |= WS_TABSTOP | BS_OWNERDRAW;
      break;
    case ControlKind::Frame:
      className = "BUTTON";
      style |= BS_GROUPBOX | WS_CLIPCHILDREN;
      break;
    case ControlKind::OptionButton:
      className = "BUTTON";
      style |= WS_TABSTOP | BS_RADIOBUTTON;
      break;
    case ControlKind::Image:
      style |= SS_OWNERDRAW;
      break;
  }
  if (state.visible)
    style |= WS_VISIBLE;
  if (!state.enabled)
    style |= WS_DISABLED;

  control.hwnd = CreateWindowExA(
      exStyle, className, state.caption.c_str(), style, ToPixelsX(d.left), ToPixelsY(state.top),
      ToPixelsX(d.width), ToPixelsY(d.height), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<int>(d.name))), instance_, nullptr);
  if (!control.hwnd)
    return;

  // Controls without a stored font use the window's font, which is not bold.
  SendMessageA(control.hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(Font(state.fontSize, d.fontSize != 0)), FALSE);
  if (d.kind == ControlKind::Frame || d.kind == ControlKind::OptionButton) {
    // Themed buttons ignore the text colour; these keep the classic look in their own colours.
    SetWindowTheme(control.hwnd, L"", L"");
  }
  if (d.kind == ControlKind::Frame) {
    SetWindowSubclass(control.hwnd, FrameProc, 0, reinterpret_cast<DWORD_PTR>(&window));
  }
  if (d.kind == ControlKind::OptionButton && state.checked) {
    SendMessageA(control.hwnd, BM_SETCHECK, BST_CHECKED, 0);
  }
}

void Win32FormView::Destroy(Form form) {
  // The record outlives the window's own destruction messages, and may be the one whose close
  // command is being handled right now: its handler touches nothing after the model returns.
  std::unique_ptr<FormWindow> window = std::move(windows_[static_cast<int>(form)]);
  if (!window || !window->hwnd)
    return;
  if (window->captionTimer)
    KillTimer(window->hwnd, kCaptionTimer);
  DestroyWindow(window->hwnd);
}

void Win32FormView::Show(Form form, bool visible) {
  FormWindow* window = Find(form);
  if (!window)
    return;
  if (!visible) {
    ShowWindow(window->hwnd, SW_HIDE);
    return;
  }
  ShowWindow(window->hwnd, SW_SHOW);
  SetForegroundWindow(window->hwnd);
  if (forms_)
    FocusControl(*window, forms_->NextInTabOrder(form, Ctl::None));
  UpdateWindow(window->hwnd);
}

void Win32FormView::Update(Form form, Ctl ctl, Property property, const ControlState& state) {
  FormWindow* window = Find(form);
  if (!window)
    return;
  ControlWindow* control = FindControl(*window, ctl);
  if (!control || !control->hwnd)
    return;
  const ControlDesign& d = *control->design;
  HWND hwnd = control->hwnd;
  switch (property) {
    case Property::Caption: {
      if (d.kind != ControlKind::Label)
        return ApplyCaption(*control, state.caption);
      control->pendingCaption = state.caption;
      control->pending = true;
      const DWORD now = GetTickCount();
      if (now - control->lastCaptionTick >= kCaptionInterval) {
        ApplyCaption(*control, control->pendingCaption);
      } else if (!window->captionTimer) {
        window->captionTimer = SetTimer(window->hwnd, kCaptionTimer, kCaptionInterval, nullptr);
      }
      return;
    }
    case Property::Visible:
      ShowWindow(hwnd, state.visible ? SW_SHOWNA : SW_HIDE);
      if (!state.visible)
        MoveFocusFrom(*window, *control);
      RepaintLabelsAbove(*window, *control);
      return;
    case Property::Enabled:
      EnableWindow(hwnd, state.enabled ? TRUE : FALSE);
      if (!state.enabled)
        MoveFocusFrom(*window, *control);
      return;
    case Property::Checked:
      SendMessageA(hwnd, BM_SETCHECK, state.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      return;
    case Property::Top:
      SetWindowPos(hwnd, nullptr, ToPixelsX(d.left), ToPixelsY(state.top), ToPixelsX(d.width),
                   ToPixelsY(d.height), SWP_NOZORDER | SWP_NOACTIVATE);
      RepaintLabelsAbove(*window, *control);
      return;
    case Property::FontSize:
      SendMessageA(hwnd, WM_SETFONT,
                   reinterpret_cast<WPARAM>(Font(state.fontSize, d.fontSize != 0)), FALSE);
      InvalidateRect(hwnd, nullptr, TRUE);
      return;
  }
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

void Win32FormView::FocusControl(FormWindow& window, Ctl ctl) {
  ControlWindow* control = FindControl(window, ctl);
  if (!control || !control->hwnd)
    return;
  SetFocus(control->hwnd);
  if (control->design->kind == ControlKind::TextBox) {
    SendMessageA(control->hwnd, EM_SETSEL, 0, -1);
  }
}

// Focus must not stay on a control that has just been hidden or disabled.
void Win32FormView::MoveFocusFrom(FormWindow& window, ControlWindow& control) {
  HWND focus = GetFocus();
  if (!focus || (focus != control.hwnd && !IsChild(control.hwnd, focus)))
    return;
  if (!forms_)
    return;
  const Ctl next = forms_->NextInTabOrder(window.form, control.design->name);
  if (next != Ctl::None && next != control.design->name) {
    FocusControl(window, next);
  } else {
    SetFocus(window.hwnd);
  }
}

bool Win32FormView::PreTranslate(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR)
    return false;
  if (!msg.hwnd || !forms_)
    return false;
  FormWindow* window = FindByWindow(GetAncestor(msg.hwnd, GA_ROOT));
  if (!window)
    return false;
  if (msg.message == WM_CHAR) {
    // No button is a default or cancel button: Enter and Esc do nothing, not even beep.
    return msg.wParam == '\r' || msg.wParam == 27 || msg.wParam == '\t';
  }
  if (msg.wParam != VK_TAB)
    return false;
  ControlWindow* current = FindControl(*window, msg.hwnd);
  const Ctl from = current ? current->design->name : Ctl::None;
  const bool backwards = GetKeyState(VK_SHIFT) < 0;
  const Ctl next = forms_->NextInTabOrder(window->form, from, backwards);
  if (next != Ctl::None)
    FocusControl(*window, next);
  return true;
}

HWND Win32FormView::FirstVisibleForm() {
  for (const auto& window : windows_) {
    if (window && window->hwnd && IsWindowVisible(window->hwnd))
      return window->hwnd;
  }
  return nullptr;
}

HWND Win32FormView::WindowOf(Form form) const {
  FormWindow* window = Find(form);
  return window ? window->hwnd : nullptr;
}

Win32FormView::FormWindow* Win32FormView::Find(Form form) const {
  const int index = static_cast<int>(form);
  if (index < 0 || index >= kFormCount)
    return nullptr;
  return windows_[index].get();
}

Win32FormView::FormWindow* Win32FormView::FindByWindow(HWND hwnd) const {
  if (!hwnd)
    return nullptr;
  for (const auto& window : windows_) {
    if (window && window->hwnd == hwnd)
      return window.get();
  }
  return nullptr;
}

Win32FormView::ControlWindow* Win32FormView::FindControl(FormWindow& window, Ctl ctl) const {
  for (ControlWindow& control : window.controls) {
    if (control.design->name == ctl)
      return &control;
  }
  return nullptr;
}

Win32FormView::ControlWindow* Win32FormView::FindControl(FormWindow& window, HWND hwnd) const {
  if (!hwnd)
    return nullptr;
  for (ControlWindow& control : window.controls) {
    if (control.hwnd == hwnd)
      return &control;
  }
  return nullptr;
}

LRESULT CALLBACK Win32FormView::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    auto* window = static_cast<FormWindow*>(create->lpCreateParams);
    if (window)
      window->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY)
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  if (!window)
    return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return window->view->HandleMessage(*window, message, wParam, lParam);
  } catch (...) {
    window->view->ReportFailure();
    return 0;
  }
}

// Nothing may escape into the system's code, and nothing may be swallowed either: the model's
// handler ends the run with a message that names the error.
void Win32FormView::ReportFailure() noexcept {
  try {
    std::string what = "unknown error";
    try {
      throw;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    if (forms_)
      forms_->UserActionFailed(what);
  } catch (...) {
  }
}

// The frame passes its children's notifications and colour requests on to the window, and paints
// its inside in its own background colour.
LRESULT CALLBACK Win32FormView::FrameProc(HWND hwnd,
                                          UINT message,
                                          WPARAM wParam,
                                          LPARAM lParam,
                                          UINT_PTR,
                                          DWORD_PTR data) try {
  auto* window = reinterpret_cast<FormWindow*>(data);
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
      return SendMessageA(window->hwnd, message, wParam, lParam);
    case WM_ERASEBKGND: {
      ControlWindow* frame = window->view->FindControl(*window, hwnd);
      if (!frame)
        break;
      RECT rect;
      GetClientRect(hwnd, &rect);
      FillRect(reinterpret_cast<HDC>(wParam), &rect,
               window->view->Brush(ToColour(frame->design->back)));
      return 1;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, FrameProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
} catch (...) {
  reinterpret_cast<FormWindow*>(data)->view->ReportFailure();
  return 0;
}

LRESULT Win32FormView::HandleMessage(FormWindow& window,
                                     UINT message,
                                     WPARAM wParam,
                                     LPARAM lParam) {
  HWND hwnd = window.hwnd;
  switch (message) {
    case WM_CLOSE:
      // The model decides; it destroys the window itself when the unload goes ahead.
      if (forms_)
        forms_->UserClose(window.form);
      return 0;
    case WM_COMMAND: {
      const Ctl ctl = static_cast<Ctl>(LOWORD(wParam));
      ControlWindow* control = FindControl(window, ctl);
      if (!control || !forms_)
        break;
      const Form form = window.form;
      if (HIWORD(wParam) == BN_CLICKED && control->design->kind == ControlKind::CommandButton) {
        forms_->UserClick(form, ctl);
        return 0;
      }
      if (HIWORD(wParam) == EN_CHANGE && control->design->kind == ControlKind::TextBox) {
        forms_->UserEdited(form, ctl, WindowText(control->hwnd));
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
      return ColourStatic(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLOREDIT: {
      ControlWindow* control = FindControl(window, reinterpret_cast<HWND>(lParam));
      if (!control)
        break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, ToColour(control->design->fore));
      SetBkColor(dc, ToColour(control->design->back));
      return reinterpret_cast<LRESULT>(Brush(ToColour(control->design->back)));
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      ControlWindow* control = FindControl(window, item->hwndItem);
      if (!control)
        break;
      if (control->design->kind == ControlKind::CommandButton)
        DrawButton(window, *item);
      if (control->design->kind == ControlKind::Image)
        DrawPictureIn(item->hDC, item->rcItem);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam != kCaptionTimer)
        break;
      KillTimer(hwnd, kCaptionTimer);
      window.captionTimer = false;
      FlushCaptions(window);
      return 0;
    case WM_SETCURSOR:
      if (HCURSOR cursor = screen_.Cursor()) {
        SetCursor(cursor);
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus))
          window.lastFocus = focus;
        return 0;
      }
      OnActivate(window, true);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Coming back to a window puts the focus back where it was, or on the first control in tab order.
void Win32FormView::OnActivate(FormWindow& window, bool active) {
  if (!active)
    return;
  HWND target = window.lastFocus;
  if (target &&
      (!IsChild(window.hwnd, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))) {
    target = nullptr;
  }
  if (target) {
    SetFocus(target);
    return;
  }
  if (forms_) {
    const Ctl first = forms_->NextInTabOrder(window.form, Ctl::None);
    if (first != Ctl::None)
      return FocusControl(window, first);
  }
  SetFocus(window.hwnd);
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

  const std::string text = WindowText(item.hwndItem);
  auto font = reinterpret_cast<HFONT>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0));
  SelectIn selectFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  RECT textRect = rect;
  if (pressed)
    OffsetRect(&textRect, 1, 1);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (disabled) {
    RECT shadow = textRect;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextA(dc, text.c_str(), -1, &shadow, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, ToColour(d.fore));
  }
  DrawTextA(dc, text.c_str(), -1, &textRect, format);
  if ((item.itemState & ODS_FOCUS) && !disabled) {
    RECT focus = rect;
    InflateRect(&focus, -4, -4);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, ToColour(d.back));
    DrawFocusRect(dc, &focus);
  }
}

// The picture fills its control: unscaled at 96 dpi, smoothly scaled at any other.
void Win32FormView::DrawPictureIn(HDC dc, const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
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
