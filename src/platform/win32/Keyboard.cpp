// Simulated keystrokes in the notation "^(v)" (Ctrl+V), "%(u)" (Alt+U), "+" Shift, "\r" or "~"
// Enter, posted as keyboard messages to one window's focused control and followed until its
// thread has taken them in. Nothing goes through the system's input, so a window that takes the
// foreground in between gets none of them, and no keyboard layout is needed: the messages carry
// the characters themselves.
#include <cctype>
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// Each round trip returns only once the target thread looks at its queue again, and each look
// takes at most one posted message off the queue.
constexpr UINT kRoundTripTimeoutMs = 1000;
// A key's lParam: one repeat, Enter's scan code, and for Alt the context bit.
constexpr LPARAM kRepeatOnce = 1;
constexpr LPARAM kEnterScanCode = 0x1C << 16;
constexpr LPARAM kAltHeld = 1 << 29;
constexpr LPARAM kKeyReleased = static_cast<LPARAM>(0xC0000000u);

struct KeyMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// One character with the modifiers held, as the dialog's message loop would see it: Alt+letter
// as the system character that selects a mnemonic, Ctrl+V as the paste command, other Ctrl
// letters as their control characters, Enter as its key. False for what no key makes here.
bool Translate(bool ctrl, bool alt, bool shift, char c, std::vector<KeyMessage>* out) {
  if (c == '\r' || c == '~') {
    if (ctrl || alt)
      return false;
    out->push_back({WM_KEYDOWN, VK_RETURN, kRepeatOnce | kEnterScanCode});
    out->push_back({WM_KEYUP, VK_RETURN, kRepeatOnce | kEnterScanCode | kKeyReleased});
    return true;
  }
  const auto byte = static_cast<unsigned char>(shift ? std::toupper(c) : c);
  if (ctrl && alt)
    return false;
  if (alt) {
    out->push_back({WM_SYSCHAR, byte, kRepeatOnce | kAltHeld});
  } else if (ctrl) {
    if (!std::isalpha(byte))
      return false;
    const int letter = std::tolower(byte);
    if (letter == 'v')
      out->push_back({WM_PASTE, 0, 0});
    else
      out->push_back({WM_CHAR, static_cast<WPARAM>(letter - 'a' + 1), kRepeatOnce});
  } else {
    out->push_back({WM_CHAR, byte, kRepeatOnce});
  }
  return true;
}

bool Parse(const std::string& keys, std::vector<KeyMessage>* out) {
  bool ctrl = false, alt = false, shift = false;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const char c = keys[i];
    if (c == '^' || c == '%' || c == '+') {
      (c == '^' ? ctrl : c == '%' ? alt : shift) = true;
      continue;
    }
    std::string chars(1, c);
    if (c == '(') {
      const std::size_t close = keys.find(')', i + 1);
      if (close == std::string::npos)
        return false;
      chars = keys.substr(i + 1, close - i - 1);
      i = close;
    }
    for (char k : chars) {
      if (!Translate(ctrl, alt, shift, k, out))
        return false;
    }
    ctrl = alt = shift = false;
  }
  return !(ctrl || alt || shift);
}

}  // namespace

bool Win32Keyboard::SendTo(Windows::Handle window, const std::string& keys) {
  std::vector<KeyMessage> messages;
  if (!Parse(keys, &messages) || messages.empty())
    return false;
  HWND top = reinterpret_cast<HWND>(window);
  HWND focus = FocusInside(top);
  HWND target = focus ? focus : top;
  for (const KeyMessage& m : messages) {
    if (!PostMessageA(target, m.message, m.wParam, m.lParam))
      return false;
  }
  // Our own thread takes its keys at its next wait; another program's thread is followed with
  // empty messages until it has looked at its queue once for every key message and once more.
  if (GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId())
    return true;
  for (std::size_t i = 0; i <= messages.size(); ++i) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kRoundTripTimeoutMs,
                             &result)) {
      break;
    }
  }
  return true;
}

}  // namespace cvi::win32
