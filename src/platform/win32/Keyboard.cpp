// Simulated keystrokes in the notation "^(v)" (Ctrl+V), "%(u)" (Alt+U), "+" Shift, "\r" or "~"
// Enter, sent to the foreground window and followed until its thread has taken them in.
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// Each round trip returns only once the target thread looks at its queue again, and each look
// takes at most one input message off the queue.
constexpr UINT kRoundTripTimeoutMs = 1000;

INPUT Key(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

WORD VirtualKeyOf(char c, bool* shift) {
  if (c == '\r' || c == '~')
    return VK_RETURN;
  const SHORT scan = VkKeyScanA(c);
  if (scan == -1)
    return 0;
  *shift = (scan & 0x100) != 0;
  return static_cast<WORD>(scan & 0xFF);
}

// Presses each character of `chars` with `modifiers` held; false on a character no key makes.
bool Press(const std::vector<WORD>& modifiers, const std::string& chars, std::vector<INPUT>* out) {
  for (WORD m : modifiers)
    out->push_back(Key(m, false));
  for (char c : chars) {
    bool shift = false;
    const WORD vk = VirtualKeyOf(c, &shift);
    if (vk == 0)
      return false;
    if (shift)
      out->push_back(Key(VK_SHIFT, false));
    out->push_back(Key(vk, false));
    out->push_back(Key(vk, true));
    if (shift)
      out->push_back(Key(VK_SHIFT, true));
  }
  for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
    out->push_back(Key(*m, true));
  return true;
}

bool Parse(const std::string& keys, std::vector<INPUT>* out) {
  std::vector<WORD> modifiers;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const char c = keys[i];
    if (c == '^' || c == '%' || c == '+') {
      modifiers.push_back(c == '^' ? VK_CONTROL : c == '%' ? VK_MENU : VK_SHIFT);
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
    if (!Press(modifiers, chars, out))
      return false;
    modifiers.clear();
  }
  return modifiers.empty();
}

}  // namespace

bool Win32Keyboard::Send(const std::string& keys) {
  std::vector<INPUT> inputs;
  if (!Parse(keys, &inputs) || inputs.empty())
    return false;
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size())
    return false;
  // Our own thread takes its keys at its next wait; another program's thread is followed with
  // empty messages until it has looked at its queue once for every key event and twice more.
  HWND target = GetForegroundWindow();
  if (!target || GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId())
    return true;
  for (std::size_t i = 0; i < inputs.size() + 2; ++i) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kRoundTripTimeoutMs,
                             &result)) {
      break;
    }
  }
  return true;
}

}  // namespace cvi::win32
