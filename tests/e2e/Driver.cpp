// The test driver's Win32 side: process control, window search, input, registry and screenshots.
#include "Driver.h"

#include <wincrypt.h>
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <tlhelp32.h>

#include "E2ePaths.h"

namespace cvi::e2e {

namespace {

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr)
      RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The clipboard, open for one scope.
class OpenClipboardScope {
 public:
  OpenClipboardScope() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_)
      CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_;
};

// Reads a window's text through WM_GETTEXT, bounded so that a hung window cannot hang the test.
std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
    return "";
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, 2000, &copied)) {
    return "";
  }
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

void SendKeys(HWND window, const std::vector<WORD>& modifiers, WORD key) {
  SetForegroundWindow(window);
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  for (WORD modifier : modifiers)
    add(modifier, false);
  add(key, false);
  add(key, true);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
    add(*it, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The virtual-key code of a letter or digit is its upper-case character.
WORD LetterKey(char letter) {
  return static_cast<WORD>(std::toupper(static_cast<unsigned char>(letter)));
}

std::uint32_t Crc32(const BYTE* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>(value >> shift));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  PutU32(out, Crc32(reinterpret_cast<const BYTE*>(body.data()), body.size()));
}

}  // namespace

// ---- Where things are --------------------------------------------------------------------------

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/')
    return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string InstallerExe() {
  return ToWindowsPath(CVI_E2E_INSTALLER_EXE);
}
std::string SampleProductExe() {
  return ToWindowsPath(CVI_E2E_SAMPLE_PRODUCT_EXE);
}
std::string DecoyProgramExe() {
  return ToWindowsPath(CVI_E2E_DECOY_PROGRAM_EXE);
}
std::string RivalProgramExe() {
  return ToWindowsPath(CVI_E2E_RIVAL_PROGRAM_EXE);
}

std::string ArtifactsFolder() {
  char value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("CVI_ARTIFACTS", value, MAX_PATH);
  std::string folder = length > 0 && length < MAX_PATH ? std::string(value, length)
                                                       : std::string(CVI_E2E_ARTIFACTS_DIR);
  folder = ToWindowsPath(folder);
  CreateFolders(folder);
  return folder;
}

// ---- Waiting ------------------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition())
      return true;
    if (GetTickCount64() >= end)
      return false;
    Sleep(kPollMs);
  }
}

// ---- Processes ----------------------------------------------------------------------------------

bool Process::Start(const std::string& commandLine, const std::string& folder) {
  Kill();
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  handle_.Reset(info.hProcess);
  id_ = info.dwProcessId;
  // Ready for input: the installer has created its window and entered its wait.
  WaitForInputIdle(info.hProcess, 5000);
  return true;
}

bool Process::Running() const {
  return handle_.Valid() && WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!handle_.Valid() || WaitForSingleObject(handle_.Get(), timeoutMs) != WAIT_OBJECT_0) {
    return false;
  }
  if (exitCode != nullptr)
    GetExitCodeProcess(handle_.Get(), exitCode);
  return true;
}

void Process::Kill() {
  if (!handle_.Valid())
    return;
  if (WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(handle_.Get(), 255);
    WaitForSingleObject(handle_.Get(), 5000);
  }
  handle_.Reset();
  id_ = 0;
}

void KillProcessesNamed(const std::string& namePrefix) {
  win32::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.Get(), &entry); more;
       more = Process32Next(snapshot.Get(), &entry)) {
    if (std::string(entry.szExeFile).rfind(namePrefix, 0) != 0)
      continue;
    win32::KernelHandle process(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (process && TerminateProcess(process.Get(), 0))
      WaitForSingleObject(process.Get(), 5000);
  }
}

bool StartInstaller(Process& process) {
  return process.Start("\"" + InstallerExe() + "\"");
}

bool InstallerRun::Start(DWORD timeoutMs) {
  window_ = nullptr;
  if (!StartInstaller(process_))
    return false;
  window_ = WaitForWindow(kInstallWindowTitle, process_.Id(), timeoutMs);
  return window_ != nullptr;
}

HWND InstallerRun::operator[](Ctl id) const {
  return FindChild(window_, id);
}

int RunAndWait(const std::string& commandLine, DWORD timeoutMs) {
  Process process;
  if (!process.Start(commandLine))
    return -1;
  DWORD exitCode = 0;
  if (!process.WaitForExit(timeoutMs, &exitCode))
    return -1;
  return static_cast<int>(exitCode);
}

// ---- Windows ------------------------------------------------------------------------------------

std::vector<HWND> TopLevelWindows(DWORD processId) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (HWND window : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (processId == 0 || owner == processId)
      found.push_back(window);
  }
  return found;
}

HWND FindWindowByTitle(const std::string& title, DWORD processId) {
  for (HWND window : TopLevelWindows(processId)) {
    if (TextOf(window) == title)
      return window;
  }
  return nullptr;
}

HWND FindWindowByClass(const std::string& className, DWORD processId) {
  for (HWND window : TopLevelWindows(processId)) {
    if (ClassName(window) == className)
      return window;
  }
  return nullptr;
}

HWND WaitForWindow(const std::string& title, DWORD processId, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(processId)) {
          if (IsWindowVisible(window) && TextOf(window) == title) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

HWND FindChild(HWND window, Ctl id) {
  return FindChildById(window, static_cast<int>(id));
}

HWND FindChildById(HWND window, int id) {
  for (HWND child : Descendants(window)) {
    if (GetDlgCtrlID(child) == id)
      return child;
  }
  return nullptr;
}

HWND FindChildByText(HWND window, const std::string& text) {
  for (HWND child : Descendants(window)) {
    if (TextOf(child) == text)
      return child;
  }
  return nullptr;
}

std::string WindowText(HWND window) {
  return window == nullptr ? "" : TextOf(window);
}

std::string ClassName(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof(name));
  return std::string(name, length > 0 ? length : 0);
}

bool Visible(HWND window) {
  return window != nullptr && IsWindowVisible(window) != FALSE;
}
bool Enabled(HWND window) {
  return window != nullptr && IsWindowEnabled(window) != FALSE;
}
LONG_PTR Style(HWND window) {
  return GetWindowLongPtrA(window, GWL_STYLE);
}
LONG_PTR ExStyle(HWND window) {
  return GetWindowLongPtrA(window, GWL_EXSTYLE);
}

RECT RectInWindow(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string PartsOffScreen(HWND window) {
  std::string off;
  RECT rect = {}, inside = {};
  GetWindowRect(window, &rect);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  if (!IntersectRect(&inside, &rect, &monitor.rcWork) || !EqualRect(&inside, &rect))
    off += "the window ";
  for (HWND child : Descendants(window)) {
    if (!Visible(child))
      continue;
    RECT parent = {};
    GetClientRect(GetParent(child), &parent);
    rect = RectInParent(child);
    if (!IntersectRect(&inside, &rect, &parent) || !EqualRect(&inside, &rect))
      off += std::string(NameOf(static_cast<Ctl>(GetDlgCtrlID(child)))) + " ";
  }
  return off;
}

RECT RectInParent(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE ClientSize(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

LRESULT CheckState(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
  return static_cast<LRESULT>(state);
}

HWND FocusedControl(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
    return nullptr;
  return info.hwndFocus;
}

// ---- Acting -------------------------------------------------------------------------------------

void Click(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
}
void Close(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
}

void PressKey(HWND window, WORD virtualKey) {
  SendKeys(window, {}, virtualKey);
}

void PressTab(HWND window, bool shift) {
  SendKeys(window, shift ? std::vector<WORD>{VK_SHIFT} : std::vector<WORD>{}, VK_TAB);
}

void PressEnter(HWND window) {
  SendKeys(window, {}, VK_RETURN);
}

void PressAlt(HWND window, char letter) {
  SendKeys(window, {VK_MENU}, LetterKey(letter));
}

void PressCtrl(HWND window, char letter) {
  SendKeys(window, {VK_CONTROL}, LetterKey(letter));
}

bool SetClipboardText(const std::string& text) {
  return SetClipboardFormats({{CF_TEXT, text + '\0'}});
}

bool SetClipboardFormats(const std::vector<std::pair<UINT, std::string>>& formats) {
  OpenClipboardScope clipboard;
  if (!clipboard.Open() || !EmptyClipboard())
    return false;
  for (const auto& [format, data] : formats) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, data.size());
    void* target = memory ? GlobalLock(memory) : nullptr;
    if (target == nullptr) {
      GlobalFree(memory);
      return false;
    }
    std::memcpy(target, data.data(), data.size());
    GlobalUnlock(memory);
    // The clipboard owns the memory once it has taken it.
    if (SetClipboardData(format, memory) == nullptr) {
      GlobalFree(memory);
      return false;
    }
  }
  return true;
}

bool ClipboardData(UINT format, std::string* data) {
  OpenClipboardScope clipboard;
  HANDLE memory = clipboard.Open() ? GetClipboardData(format) : nullptr;
  const char* bytes = memory ? static_cast<const char*>(GlobalLock(memory)) : nullptr;
  if (bytes == nullptr)
    return false;
  data->assign(bytes, GlobalSize(memory));
  GlobalUnlock(memory);
  return true;
}

namespace {
const std::string kUsersPrivateData("\x01private\0data\xff", 14);
UINT UsersPrivateFormat() {
  return RegisterClipboardFormatA("CviUsersPrivateFormat");
}
}  // namespace

bool SetUsersClipboard(const std::string& text) {
  return SetClipboardFormats({{CF_TEXT, text + '\0'}, {UsersPrivateFormat(), kUsersPrivateData}});
}

bool HoldsUsersClipboard(const std::string& text) {
  std::string data, privateData;
  return ClipboardData(CF_TEXT, &data) && data.c_str() == text &&
         ClipboardData(UsersPrivateFormat(), &privateData) && privateData == kUsersPrivateData;
}

// ---- Message boxes ------------------------------------------------------------------------------

HWND FindMessageBox(const std::string& title, DWORD processId) {
  for (HWND window : TopLevelWindows(processId)) {
    if (ClassName(window) == "#32770" && IsWindowVisible(window) && TextOf(window) == title) {
      return window;
    }
  }
  return nullptr;
}

HWND WaitForMessageBox(const std::string& title, DWORD processId, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindMessageBox(title, processId)) != nullptr; }, timeoutMs);
  return found;
}

std::string MessageBoxText(HWND box) {
  return WindowText(GetDlgItem(box, 0xFFFF));
}

void AnswerMessageBox(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  if (button != nullptr) {
    Click(button);
  } else {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
  }
}

// ---- The machine-wide environment ---------------------------------------------------------------

bool SetSysEnvVar(const std::string& name, const std::string& value, DWORD type) {
  RegKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSysEnvKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExA(key.Get(), name.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteSysEnvVar(const std::string& name) {
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSysEnvKey, 0, KEY_SET_VALUE, key.Out()) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegDeleteValueA(key.Get(), name.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

// ---- The network ------------------------------------------------------------------------------

int VendorPort() {
  const char* port = std::getenv("CVI_VENDOR_PORT");
  return port != nullptr && *port != '\0' ? std::atoi(port) : 47801;
}

std::string FetchText(const std::string& url) {
  HINTERNET session =
      InternetOpenA("CVInstallTests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  std::string text;
  char block[4096];
  DWORD got = 0;
  while (request && InternetReadFile(request, block, sizeof block, &got) && got > 0)
    text.append(block, got);
  InternetCloseHandle(request);
  InternetCloseHandle(session);
  return text;
}

bool TrustTestAuthority() {
  const std::string pem =
      FetchText("http://127.0.0.1:" + std::to_string(VendorPort()) + "/tls/ca.pem");
  BYTE der[8192];
  DWORD size = sizeof der;
  if (pem.empty() ||
      !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            der, &size, nullptr, nullptr)) {
    return false;
  }
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
  const bool added =
      root != nullptr && CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, size,
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (root != nullptr)
    CertCloseStore(root, 0);
  return added;
}

namespace {

// Sets the user's proxy server; "" switches the proxy off.
void SetProxyServer(const std::string& server) {
  RegKey key;
  const DWORD enable = server.empty() ? 0 : 1;
  if (RegCreateKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr,
                      0, KEY_SET_VALUE, nullptr, key.Out(), nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key.Get(), "ProxyServer", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>(server.size() + 1));
    RegSetValueExA(key.Get(), "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                   sizeof enable);
  }
}

}  // namespace

SystemProxy::SystemProxy(const std::string& server) {
  SetProxyServer(server);
}

SystemProxy::~SystemProxy() {
  SetProxyServer("");
}

// ---- Files --------------------------------------------------------------------------------------

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

bool CreateFolders(const std::string& path) {
  for (std::size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && GetFileAttributesA(part.c_str()) == INVALID_FILE_ATTRIBUTES) {
      CreateDirectoryA(part.c_str(), nullptr);
    }
    if (at == std::string::npos)
      break;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteTree(const std::string& path) {
  WIN32_FIND_DATAA entry;
  win32::FindHandle find(FindFirstFileA((path + "\\*").c_str(), &entry));
  if (find.Valid()) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..")
        continue;
      const std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find.Get(), &entry));
  }
  find.Reset();
  RemoveDirectoryA(path.c_str());
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// ---- Screenshots --------------------------------------------------------------------------------

bool WritePng(const std::string& path, int width, int height, const std::vector<BYTE>& rgb) {
  // Scanlines with filter byte 0, wrapped in stored (uncompressed) deflate blocks.
  std::string raw;
  raw.reserve(static_cast<std::size_t>(height) * (width * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(&rgb[static_cast<std::size_t>(y) * width * 3]),
               static_cast<std::size_t>(width) * 3);
  }
  std::string zlib = "\x78\x01";
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t size = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + size >= raw.size();
    zlib.push_back(last ? '\x01' : '\x00');
    zlib.push_back(static_cast<char>(size & 0xFF));
    zlib.push_back(static_cast<char>(size >> 8));
    zlib.push_back(static_cast<char>(~size & 0xFF));
    zlib.push_back(static_cast<char>((~size >> 8) & 0xFF));
    zlib.append(raw, at, size);
    if (last)
      break;
  }
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutU32(zlib, (b << 16) | a);

  std::string header;
  PutU32(header, static_cast<std::uint32_t>(width));
  PutU32(header, static_cast<std::uint32_t>(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", "");
  return WriteWholeFile(path, png);
}

std::vector<BYTE> ScreenPixels(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0)
    return {};
  win32::WindowDC screen(nullptr);
  win32::MemoryDC memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win32::GdiObject bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory.Valid() || !bitmap.Valid() || bits == nullptr)
    return {};
  {
    win32::SelectIn select(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY)) {
      return {};
    }
    GdiFlush();
  }
  const auto* bgra = static_cast<const BYTE*>(bits);
  std::vector<BYTE> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
    rgb[i * 3] = bgra[i * 4 + 2];
    rgb[i * 3 + 1] = bgra[i * 4 + 1];
    rgb[i * 3 + 2] = bgra[i * 4];
  }
  return rgb;
}

std::string SaveScreenshot(HWND window, const std::string& name) {
  RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window != nullptr && !GetWindowRect(window, &rect))
    return "";
  const std::vector<BYTE> rgb = ScreenPixels(rect);
  if (rgb.empty())
    return "";
  const std::string path = ArtifactsFolder() + "\\" + name + ".png";
  return WritePng(path, rect.right - rect.left, rect.bottom - rect.top, rgb) ? path : "";
}

}  // namespace cvi::e2e
