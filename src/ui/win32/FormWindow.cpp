// Creates the installer's windows from their designs, keeps them in step with the control model
// and routes the user's actions to it.
#include "ui/win32/FormWindow.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <iterator>

#include "resources/resource.h"
#include "ui/win32/FormParts.h"

namespace cvi::win32 {
namespace {

using form::kCaptionInterval;
using form::kCaptionTimer;
using form::ToColour;

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

int DpiOr96(int dpi) {
  return dpi > 0 ? dpi : 96;
}

// Text of the code page as wide characters, NUL-terminated.
std::vector<wchar_t> FromCodePage(const std::string& text) {
  const int size = static_cast<int>(text.size());
  std::vector<wchar_t> wide(
      static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)) + 1);
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// A text box's text in the code page, as the system would write it; `kept` is false when that is
// not what the user typed (a character the code page lacks became a look-alike or "?").
std::string CodePageText(HWND field, bool* kept) {
  std::vector<wchar_t> typed(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1);
  typed.resize(static_cast<std::size_t>(
                   GetWindowTextW(field, typed.data(), static_cast<int>(typed.size()))) +
               1);
  typed.back() = L'\0';
  const int size = static_cast<int>(typed.size()) - 1;
  std::string text(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, typed.data(), size,
                                                                nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_ACP, 0, typed.data(), size, &text[0], static_cast<int>(text.size()),
                      nullptr, nullptr);
  *kept = FromCodePage(text) == typed;
  return text;
}

}  // namespace

Win32FormView::Win32FormView(HINSTANCE instance, Win32Screen& screen, int dpi, RECT workArea)
    : instance_(instance), screen_(screen), dpi_(dpi), workArea_(workArea) {
  if (dpi_ <= 0) {
    if (WindowDC display(nullptr); display.Get())
      dpi_ = GetDeviceCaps(display.Get(), LOGPIXELSY);
  }
  dpi_ = DpiOr96(dpi_);
  bigIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_CVINSTALL), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           LR_SHARED));
  smallIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_CVINSTALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FormProc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kFormWindowClass;
  RegisterClassExA(&wc);

  // The windows are owned by this hidden one, which keeps them off the task bar.
  owner_.Reset(CreateWindowExA(0, kFormWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr));
}

Win32FormView::~Win32FormView() {
  for (auto& window : windows_) {
    std::unique_ptr<FormWindow> gone = std::move(window);
    if (gone && gone->hwnd)
      DestroyWindow(gone->hwnd);
  }
}

// A new window opens on the monitor of the installer's last window; the first one on the monitor
// the user works on, that of the window in front (the one the installer was started from) or else
// of the mouse pointer.
RECT Win32FormView::WorkAreaForNewWindow() const {
  if (!IsRectEmpty(&workArea_))
    return workArea_;
  HMONITOR monitor = lastMonitor_;
  if (!monitor)
    monitor = MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTONULL);
  if (!monitor) {
    POINT pointer{};
    GetCursorPos(&pointer);
    monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoA(monitor, &info)) {
    info.rcWork = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &info.rcWork, 0);
  }
  return info.rcWork;
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
  RECT frame{};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const RECT work = WorkAreaForNewWindow();
  // The frame and the title bar keep the system's size; the design shrinks as a whole to fit.
  window->scale =
      FitScale(dpi_, design.width, design.height, frame.right - frame.left,
               frame.bottom - frame.top, work.right - work.left, work.bottom - work.top);
  const int width = window->scale.ToPixels(design.width) + (frame.right - frame.left);
  const int height = window->scale.ToPixels(design.height) + (frame.bottom - frame.top);
  // Centred, but never with the title bar off the screen when the window is taller than it.
  const int x = (std::max)(work.left, work.left + ((work.right - work.left) - width) / 2);
  const int y = (std::max)(work.top, work.top + ((work.bottom - work.top) - height) / 2);

  FormWindow* raw = window.get();
  windows_[index] = std::move(window);
  HWND hwnd = CreateWindowExA(exStyle, kFormWindowClass, design.caption, style, x, y, width, height,
                              owner_.Get(), nullptr, instance_, raw);
  if (!hwnd) {
    windows_[index].reset();
    return;
  }
  // The icons come from the window class.
  raw->hwnd = hwnd;

  raw->controls.resize(design.count);
  for (std::size_t i = 0; i < design.count; ++i) {
    raw->controls[i].design = &design.controls[i];
    raw->controls[i].state = controls[i];
    raw->controls[i].lastCaptionTick = GetTickCount() - 10 * kCaptionInterval;
  }
}

// Each control costs the system a window, and the user waits for them all before the window
// appears; a control that is hidden at the first showing may never be needed.
void Win32FormView::MakeControls(FormWindow& window) {
  // Containers first, so that what they hold can be made their children.
  for (int pass = 0; pass < 2; ++pass) {
    for (ControlWindow& control : window.controls) {
      const bool contained = control.design->container != Ctl::None;
      if (contained == (pass == 1))
        MakeControl(window, control);
    }
  }
  // The table lists the controls front to back. A new child window goes below its siblings, so
  // creating them in table order already stacks them so; where a system stacked them otherwise,
  // putting each one at the bottom in table order leaves the first row on top.
  if (!StackedInTableOrder(window)) {
    for (ControlWindow& control : window.controls) {
      if (control.hwnd) {
        SetWindowPos(control.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
      }
    }
  }
  window.controlsMade = true;
}

// Makes a visible control whose container is there; one made after the others goes to its place
// in the stacking order, and a frame brings what it holds with it.
void Win32FormView::MakeControl(FormWindow& window, ControlWindow& control) {
  if (control.hwnd || !control.state.visible)
    return;
  const Ctl container = control.design->container;
  if (container != Ctl::None) {
    const ControlWindow* frame = FindControl(window, container);
    if (!frame || !frame->hwnd)
      return;
  }
  CreateControl(window, control);
  if (!control.hwnd || !window.controlsMade)
    return;
  HWND above = HWND_TOP;
  for (ControlWindow& other : window.controls) {
    if (&other == &control)
      break;
    if (other.hwnd && other.design->container == container)
      above = other.hwnd;
  }
  SetWindowPos(control.hwnd, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (control.design->kind == ControlKind::Frame) {
    for (ControlWindow& held : window.controls) {
      if (held.design->container == control.design->name)
        MakeControl(window, held);
    }
  }
}

// Whether the children of the window and of each container lie front to back in table order.
bool Win32FormView::StackedInTableOrder(FormWindow& window) {
  // Each question about a window is a trip to the system; the design already says which
  // container holds which control.
  std::vector<std::pair<HWND, Ctl>> parents{{window.hwnd, Ctl::None}};
  for (const ControlWindow& control : window.controls) {
    if (control.design->kind == ControlKind::Frame && control.hwnd)
      parents.emplace_back(control.hwnd, control.design->name);
  }
  for (const auto& [parent, container] : parents) {
    HWND next = GetWindow(parent, GW_CHILD);
    for (const ControlWindow& control : window.controls) {
      if (!control.hwnd || control.design->container != container)
        continue;
      if (control.hwnd != next)
        return false;
      next = GetWindow(next, GW_HWNDNEXT);
    }
    if (next)
      return false;
  }
  return true;
}

void Win32FormView::CreateControl(FormWindow& window, ControlWindow& control) {
  const ControlDesign& d = *control.design;
  const ControlState& state = control.state;
  HWND parent = window.hwnd;
  if (d.container != Ctl::None) {
    if (ControlWindow* container = FindControl(window, d.container))
      parent = container->hwnd;
  }
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  // The window ignores its children's creation notices; not sending them saves a message each.
  DWORD exStyle = WS_EX_NOPARENTNOTIFY;
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

  const FormScale& scale = window.scale;
  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<int>(d.name)));
  const int x = scale.ToPixels(d.left), y = scale.ToPixels(state.top);
  const int width = scale.ToPixels(d.width), height = scale.ToPixels(d.height);
  // The text box is a Unicode window, so that what the user types reaches it as typed and a
  // character the code page lacks can be noticed (CodePageText).
  if (d.kind == ControlKind::TextBox) {
    control.hwnd = CreateWindowExW(exStyle, L"EDIT", FromCodePage(state.caption).data(), style, x,
                                   y, width, height, parent, id, instance_, nullptr);
  } else {
    control.hwnd = CreateWindowExA(exStyle, className, state.caption.c_str(), style, x, y, width,
                                   height, parent, id, instance_, nullptr);
  }
  if (!control.hwnd)
    return;

  // Controls without a stored font use the window's font, which is not bold.
  SendMessageA(control.hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(Font(scale, state.fontSize, d.fontSize != 0)), FALSE);
  if (d.kind == ControlKind::Frame || d.kind == ControlKind::OptionButton) {
    // Themed buttons ignore the text colour; these keep the classic look in their own colours.
    SetWindowTheme(control.hwnd, L"", L"");
  }
  if (d.kind == ControlKind::Frame) {
    SetWindowSubclass(control.hwnd, FrameProc, 0, reinterpret_cast<DWORD_PTR>(&window));
  }
  // The system draws an option button's round box at its own size; a window drawn at another
  // scale than designed draws its option buttons itself, so that the box scales with the rest.
  if (d.kind == ControlKind::OptionButton && !scale.AsDesigned()) {
    SetWindowSubclass(control.hwnd, OptionProc, 0, reinterpret_cast<DWORD_PTR>(&window));
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
  lastMonitor_ = MonitorFromWindow(window->hwnd, MONITOR_DEFAULTTONEAREST);
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
  if (!window->controlsMade)
    MakeControls(*window);
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
  if (!control)
    return;
  control->state = state;
  if (!control->hwnd) {
    if (property != Property::Visible || !state.visible || !window->controlsMade)
      return;
    MakeControl(*window, *control);
    if (control->hwnd)
      RepaintLabelsAbove(*window, *control);
    return;
  }
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
      SetWindowPos(hwnd, nullptr, window->scale.ToPixels(d.left), window->scale.ToPixels(state.top),
                   window->scale.ToPixels(d.width), window->scale.ToPixels(d.height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      RepaintLabelsAbove(*window, *control);
      return;
    case Property::FontSize:
      SendMessageA(hwnd, WM_SETFONT,
                   reinterpret_cast<WPARAM>(Font(window->scale, state.fontSize, d.fontSize != 0)),
                   FALSE);
      InvalidateRect(hwnd, nullptr, TRUE);
      return;
  }
}

void Win32FormView::BlockSessionEnd(Form form, const std::string& reason) {
  FormWindow* window = Find(form);
  if (!window)
    return;
  window->blocksSessionEnd = !reason.empty();
  if (reason.empty()) {
    ShutdownBlockReasonDestroy(window->hwnd);
    return;
  }
  // The system shows a short reason only.
  WCHAR wide[256] = {};
  MultiByteToWideChar(CP_ACP, 0, reason.c_str(), -1, wide, static_cast<int>(std::size(wide)) - 1);
  ShutdownBlockReasonCreate(window->hwnd, wide);
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
  return window->view->HandleMessage(*window, message, wParam, lParam);
}

// The frame passes its children's notifications and colour requests on to the window, and paints
// its inside in its own background colour.
LRESULT CALLBACK Win32FormView::FrameProc(HWND hwnd,
                                          UINT message,
                                          WPARAM wParam,
                                          LPARAM lParam,
                                          UINT_PTR,
                                          DWORD_PTR data) {
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
        bool kept = true;
        const std::string text = CodePageText(control->hwnd, &kept);
        forms_->UserEdited(form, ctl, text, kept);
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
    // A window that blocks the end of the session says no; the system then shows its reason and
    // lets the user decide.
    case WM_QUERYENDSESSION:
      return window.blocksSessionEnd ? FALSE : TRUE;
    case WM_ENDSESSION:
      if (wParam && forms_)
        forms_->SessionEnding();
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

}  // namespace cvi::win32
