// Other programs' top-level windows and their controls, as the self-extractor automation sees them.
#include <cctype>

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// Long enough for a busy program to answer, short enough that the installer's window never looks
// hung; a program that Windows already counts as hung is not waited for at all.
constexpr UINT kAnswerTimeoutMs = 1000;
constexpr UINT kAnswerFlags = SMTO_ABORTIFHUNG | SMTO_NORMAL;

HWND ToHwnd(Windows::Handle handle) {
  return reinterpret_cast<HWND>(handle);
}

Windows::Handle ToHandle(HWND window) {
  return reinterpret_cast<Windows::Handle>(window);
}

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer) {
  return SendMessageTimeoutA(window, message, wParam, lParam, kAnswerFlags, kAnswerTimeoutMs,
                             answer) != 0;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  std::string text(name, length > 0 ? static_cast<std::size_t>(length) : 0);
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Enabled and shown by its own style: a dialog still being made is not visible yet, but its
// controls are.
bool Usable(HWND control) {
  return IsWindow(control) && IsWindowEnabled(control) &&
         (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsPushButton(HWND control) {
  const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
  return ClassOf(control) == "button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// Edit fields of every kind: plain, inside a combo box, rich edit.
bool IsTextField(HWND control) {
  return ClassOf(control).find("edit") != std::string::npos;
}

BOOL CALLBACK AddTextField(HWND control, LPARAM list) {
  if (IsTextField(control) && Usable(control))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(control);
  return TRUE;
}

// The control with the keyboard focus of the thread that owns `window`, anywhere; null when that
// thread has none.
HWND ThreadFocus(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  return thread != 0 && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

BOOL CALLBACK AddButton(HWND control, LPARAM list) {
  if (IsPushButton(control) && Usable(control)) {
    // A button's caption is kept by the system, so reading it asks nothing of its program.
    std::string caption(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    caption.resize(static_cast<std::size_t>(
        GetWindowTextA(control, &caption[0], static_cast<int>(caption.size()))));
    reinterpret_cast<std::vector<Windows::Button>*>(list)->push_back(
        {ToHandle(control), std::move(caption)});
  }
  return TRUE;
}

}  // namespace

Windows::Handle Win32Windows::First() {
  return ToHandle(FindWindowA(nullptr, nullptr));
}

Windows::Handle Win32Windows::Next(Handle window) {
  return ToHandle(GetWindow(ToHwnd(window), GW_HWNDNEXT));
}

int Win32Windows::TitleLength(Handle window) {
  return GetWindowTextLengthA(ToHwnd(window));
}

int Win32Windows::Title(Handle window, char* buffer, int size) {
  return GetWindowTextA(ToHwnd(window), buffer, size);
}

std::uint32_t Win32Windows::ProcessOf(Handle window) {
  DWORD process = 0;
  return GetWindowThreadProcessId(ToHwnd(window), &process) != 0 ? process : 0;
}

bool Win32Windows::BringToFront(Handle window) {
  return SetForegroundWindow(ToHwnd(window)) != FALSE;
}

Windows::Handle Win32Windows::Foreground() {
  return ToHandle(GetForegroundWindow());
}

HWND FocusInside(HWND window) {
  HWND focus = ThreadFocus(window);
  return focus && (focus == window || IsChild(window, focus)) ? focus : nullptr;
}

std::vector<Windows::Handle> Win32Windows::TextFields(Handle window) {
  std::vector<HWND> fields;
  EnumChildWindows(ToHwnd(window), AddTextField, reinterpret_cast<LPARAM>(&fields));
  std::vector<Handle> handles;
  for (HWND field : fields)
    handles.push_back(ToHandle(field));
  return handles;
}

bool Win32Windows::SetControlText(Handle control, const std::string& text) {
  DWORD_PTR answer = 0;
  return Ask(ToHwnd(control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &answer) &&
         answer == TRUE;
}

bool Win32Windows::ControlText(Handle control, std::string* text) {
  DWORD_PTR length = 0;
  if (!Ask(ToHwnd(control), WM_GETTEXTLENGTH, 0, 0, &length))
    return false;
  // The length may be an estimate, and the text may grow in between: room for one more.
  std::string buffer(static_cast<std::size_t>(length) + 2, '\0');
  DWORD_PTR copied = 0;
  if (!Ask(ToHwnd(control), WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]),
           &copied) ||
      copied >= buffer.size() - 1) {
    return false;
  }
  text->assign(buffer.c_str(), static_cast<std::size_t>(copied));
  return true;
}

std::vector<Windows::Button> Win32Windows::Buttons(Handle window) {
  std::vector<Button> buttons;
  EnumChildWindows(ToHwnd(window), AddButton, reinterpret_cast<LPARAM>(&buttons));
  return buttons;
}

Windows::Handle Win32Windows::DefaultButton(Handle window) {
  HWND dialog = ToHwnd(window);
  DWORD_PTR answer = 0;
  int id = IDOK;
  if (Ask(dialog, DM_GETDEFID, 0, 0, &answer) && HIWORD(answer) == DC_HASDEFID)
    id = LOWORD(answer);
  HWND button = GetDlgItem(dialog, id);
  return button && IsPushButton(button) && Usable(button) ? ToHandle(button) : 0;
}

bool Win32Windows::Click(Handle button) {
  HWND control = ToHwnd(button);
  HWND parent = GetParent(control);
  if (!parent || !Usable(control))
    return false;
  const auto id = static_cast<WORD>(GetDlgCtrlID(control));
  return PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(control)) != FALSE;
}

}  // namespace cvi::win32
