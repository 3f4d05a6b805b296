// The keyboard focus in the installer's windows: the designed tab order, and where the focus goes
// when a window comes back or a focused control goes away.
#include "ui/win32/FormWindow.h"

namespace cvi::win32 {

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

}  // namespace cvi::win32
