// The self-extractor stub: a dialog that unpacks the zip archive appended to this program's own
// file into a folder the user types, pastes or browses to. The folder field starts with a folder
// of the stub's own choosing (under the temporary folder), never the package's folder. Every file
// is written in full under a temporary name first and takes its final name only once the whole
// archive is written, so that a write error (a full disk) leaves no file of the package behind,
// its log file included; the stub then says what failed.
//
// Tests make it misbehave through the environment variable CVI_SFX_MISBEHAVE, which a package
// inherits from the program that starts it:
//   no-dialog          shows nothing at all and ends by itself after 8 s
//   no-completion      unpacks on Unzip but shows no completion window; ends by itself 75 s after
//                      it started (longer than an installer waits for the completion window)
//   ignore-close       Close, Esc and the title-bar close do nothing; ends by itself after 30 s
//   slow-dialog:<ms>   the dialog appears only after that many milliseconds (at most 120000)
//   no-mnemonics       its buttons have no mnemonics ("Unzip", "Close"), yet Alt+U and Alt+C still
//                      work
//   two-fields         a second text field below the folder field has the focus; the folder field
//                      still says where the files go
//   late-controls:<ms> the title shows that long before the controls do
//   slow-unzip:<ms>    Unzip disables the buttons and waits that long before it unpacks
//   foreign-box        Unzip first starts another copy of this program in the mode box-only, then
//                      unpacks 1.5 s after that copy's box is up
//   box-only           shows only a box titled "WinZip Self-Extractor", for at most 60 s
//   unwritable:<name>  the file of that name in the archive cannot be written (access denied)
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ZipArchive.h"
#include "platform/win32/LeanRuntime.h"
#include "platform/win32/OleSession.h"

namespace {

using cvi::sfx::ZipArchive;
using cvi::sfx::ZipResult;
using cvi::sfx::ZipStatus;

constexpr const char* kMessageTitle = "WinZip Self-Extractor";
constexpr const char* kDialogTitle = "WinZip Self-Extractor - ";
constexpr WORD kIdInfo = 101;
constexpr WORD kIdFolderLabel = 102;
constexpr WORD kIdFolder = 103;
constexpr WORD kIdBrowse = 104;
constexpr WORD kIdUnzip = 105;
constexpr WORD kIdSecondField = 106;
constexpr WORD kIdClose = IDCANCEL;  // so that Esc and the title-bar close mean Close
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT_PTR kControlsTimer = 2;
// The window property that marks a dialog whose keys the message filter handles.
constexpr const char* kKeysWithoutMnemonics = "CviSfxKeysWithoutMnemonics";
constexpr DWORD kMaxDialogDelayMs = 120000;
// A 32-bit process cannot map much more, and no package of ours comes near it.
constexpr ULONGLONG kMaxPackageSize = 1ull << 30;

enum class Misbehaviour {
  None,
  NoDialog,
  NoCompletion,
  IgnoreClose,
  SlowDialog,
  NoMnemonics,
  TwoFields,
  LateControls,
  SlowUnzip,
  ForeignBox,
  BoxOnly,
  Unwritable,
};

struct Options {
  Misbehaviour misbehaviour = Misbehaviour::None;
  DWORD delayMs = 0;    // of slow-dialog, late-controls and slow-unzip
  UINT lifetimeMs = 0;  // 0: lives until closed
  std::string unwritable;
};

Options ReadOptions() {
  char value[64] = {};
  const DWORD length = GetEnvironmentVariableA("CVI_SFX_MISBEHAVE", value, sizeof value);
  const std::string mode = length < sizeof value ? std::string(value, length) : std::string();
  const std::size_t colon = mode.find(':');
  const std::string name = mode.substr(0, colon);
  const std::string argument = colon == std::string::npos ? "" : mode.substr(colon + 1);
  const unsigned long ms = std::strtoul(argument.c_str(), nullptr, 10);
  const DWORD delayMs = ms < kMaxDialogDelayMs ? static_cast<DWORD>(ms) : kMaxDialogDelayMs;
  const std::pair<const char*, Misbehaviour> modes[] = {
      {"two-fields", Misbehaviour::TwoFields},   {"late-controls", Misbehaviour::LateControls},
      {"slow-unzip", Misbehaviour::SlowUnzip},   {"foreign-box", Misbehaviour::ForeignBox},
      {"box-only", Misbehaviour::BoxOnly},       {"unwritable", Misbehaviour::Unwritable},
      {"slow-dialog", Misbehaviour::SlowDialog},
  };
  Options options;
  for (const auto& [text, misbehaviour] : modes) {
    if (name == text)
      options = {misbehaviour, delayMs, 0, argument};
  }
  if (mode == "no-dialog") {
    options.misbehaviour = Misbehaviour::NoDialog;
  } else if (mode == "no-completion") {
    options = {Misbehaviour::NoCompletion, 0, 75000, {}};
  } else if (mode == "ignore-close") {
    options = {Misbehaviour::IgnoreClose, 0, 30000, {}};
  } else if (mode == "no-mnemonics") {
    options.misbehaviour = Misbehaviour::NoMnemonics;
  }
  return options;
}

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct ViewUnmapper {
  void operator()(const void* view) const { UnmapViewOfFile(view); }
};
using UniqueView = std::unique_ptr<const void, ViewUnmapper>;

struct PidlFreer {
  void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};
using UniquePidl = std::unique_ptr<ITEMIDLIST, PidlFreer>;

// A temporary file that is deleted unless it was renamed to its final name.
class TempFile {
 public:
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  ~TempFile() {
    if (!path_.empty())
      DeleteFileA(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

std::string SystemMessage(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(text != nullptr ? text : "", length);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return " (" + (message.empty() ? "error " + std::to_string(error) : message) + ").";
}

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ZipResult WriteFailed(std::string message) {
  return ZipResult{ZipStatus::WriteFailed, std::move(message)};
}

ZipResult MakeFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path))
    return {};
  return WriteFailed("The folder " + path + " cannot be created" + SystemMessage(GetLastError()));
}

// Creates `folder` and every missing folder above it.
ZipResult MakeFolderTree(const std::string& folder) {
  // The root ("C:\" or "\\server\share\") is never made.
  std::size_t from = 3;
  if (folder.rfind("\\\\", 0) == 0) {
    const std::size_t share = folder.find('\\', 2);
    const std::size_t end = share == std::string::npos ? share : folder.find('\\', share + 1);
    from = end == std::string::npos ? folder.size() : end + 1;
  }
  for (std::size_t slash = folder.find('\\', from); slash != std::string::npos;
       slash = folder.find('\\', slash + 1)) {
    if (ZipResult result = MakeFolder(folder.substr(0, slash)); !result.ok())
      return result;
  }
  return MakeFolder(folder);
}

// Writes into a folder on disk. Every file goes to a temporary name in its own folder first; all of
// them take their final names only when Commit is called after the last one was written. Whatever
// was not committed is deleted.
class FolderSink : public cvi::sfx::ZipSink {
 public:
  FolderSink(std::string root, std::string unwritable)
      : root_(std::move(root)), unwritable_(std::move(unwritable)) {}

  std::size_t Written() const { return written_; }

  std::string PathOf(const std::string& name) const {
    std::string path = root_ + (root_.back() == '\\' ? "" : "\\") + name;
    for (char& c : path) {
      if (c == '/')
        c = '\\';
    }
    return path;
  }

  ZipResult CreateFolder(const std::string& name) override {
    ZipResult result = MakeRoot();
    return result.ok() ? MakeFolder(PathOf(name)) : result;
  }

  ZipResult WriteFile(const std::string& name, const std::string& data) override {
    if (ZipResult result = MakeRoot(); !result.ok())
      return result;
    const std::string path = PathOf(name);
    if (name == unwritable_) {
      SetLastError(ERROR_ACCESS_DENIED);
      return CannotWrite(path);
    }
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    char temp[MAX_PATH] = {};
    if (GetTempFileNameA(folder.c_str(), "sfx", 0, temp) == 0)
      return CannotWrite(path);
    auto part = std::make_unique<TempFile>(temp);
    {
      UniqueHandle file(CreateFileA(part->Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.get() == INVALID_HANDLE_VALUE)
        return CannotWrite(path);
      std::size_t done = 0;
      while (done < data.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.get(), data.data() + done, piece, &written, nullptr) || written == 0)
          return CannotWrite(path);
        done += written;
      }
    }
    pending_.push_back({std::move(part), path});
    return {};
  }

  // Gives every written file its final name, in the archive's order.
  ZipResult Commit() {
    for (Pending& file : pending_) {
      if (!MoveFileExA(file.part->Path().c_str(), file.path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return CannotWrite(file.path);
      file.part->Keep();
      ++written_;
    }
    pending_.clear();
    return {};
  }

 private:
  struct Pending {
    std::unique_ptr<TempFile> part;
    std::string path;
  };

  // The destination appears only once the archive has checked out.
  ZipResult MakeRoot() {
    if (rootMade_)
      return {};
    ZipResult result = MakeFolderTree(root_);
    rootMade_ = result.ok();
    return result;
  }

  static ZipResult CannotWrite(const std::string& path) {
    return WriteFailed("The file " + path + " cannot be written" + SystemMessage(GetLastError()));
  }

  std::string root_;
  std::string unwritable_;  // a name in the archive that cannot be written
  bool rootMade_ = false;
  std::vector<Pending> pending_;
  std::size_t written_ = 0;
};

// The package file mapped into memory, with its archive.
struct Package {
  std::string path;
  UniqueHandle file;
  UniqueHandle mapping;
  UniqueView view;
  ZipArchive archive;

  ZipResult Open() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
      return {ZipStatus::NoArchive, "This program cannot find its own file."};
    path.assign(buffer, length);
    file.reset(CreateFileA(buffer, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.get(), &size))
      return {ZipStatus::NoArchive,
              "This program cannot read its own file" + SystemMessage(GetLastError())};
    if (static_cast<ULONGLONG>(size.QuadPart) > kMaxPackageSize)
      return {ZipStatus::TooLarge, "This package is larger than this program accepts."};
    mapping.reset(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping)
      view.reset(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view)
      return {ZipStatus::NoArchive,
              "This program cannot read its own file" + SystemMessage(GetLastError())};
    return archive.Open(static_cast<const unsigned char*>(view.get()),
                        static_cast<std::size_t>(size.QuadPart));
  }

  // The package's folder; a drive's root keeps its backslash, since "C:" alone means the
  // current folder of that drive.
  std::string Folder() const {
    const std::size_t slash = path.find_last_of('\\');
    return path.substr(0, slash == 2 ? 3 : slash);
  }
  std::string FileName() const { return path.substr(path.find_last_of('\\') + 1); }
  // Where the dialog proposes to unpack: a folder named after the package in the temporary
  // folder, so that only a folder given to the dialog ever receives the product.
  std::string ProposedFolder() const {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    const std::string name = FileName().substr(0, FileName().find_last_of('.'));
    if (length == 0 || length >= MAX_PATH)
      return "C:\\" + name;
    return std::string(temp, length) + (temp[length - 1] == '\\' ? "" : "\\") + name;
  }
};

// The full folder for the text of the field: relative texts count from the package's folder.
std::string ResolveFolder(std::string text, const std::string& packageFolder) {
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  while (!text.empty() && text.front() == ' ')
    text.erase(0, 1);
  if (text.empty())
    return text;
  const bool absolute = (text.size() >= 2 && text[1] == ':') || text.rfind("\\\\", 0) == 0 ||
                        text.rfind("//", 0) == 0;
  if (!absolute)
    text = packageFolder + "\\" + text;
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(text.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH)
    return std::string();
  std::string folder(full, length);
  if (folder.size() > 3 && folder.back() == '\\')
    folder.pop_back();
  return folder;
}

// Unpacks into `folder`; `written` counts the files that reached their final names.
ZipResult Unpack(const ZipArchive& archive,
                 const std::string& folder,
                 const std::string& unwritable,
                 std::size_t* written) {
  FolderSink sink(folder, unwritable);
  // Room for the longest name, and for the temporary names GetTempFileName makes beside it.
  for (const cvi::sfx::ZipEntry& entry : archive.Entries()) {
    if (sink.PathOf(entry.name).size() >= MAX_PATH - 14) {
      return {ZipStatus::UnsafeName,
              "The folder name is too long for the file " + sink.PathOf(entry.name) + "."};
    }
  }
  ZipResult result = archive.ExtractAll(sink);
  if (result.ok())
    result = sink.Commit();
  *written = sink.Written();
  return result;
}

struct DialogState {
  Package* package;
  Options options;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED)
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, start);
  return 0;
}

void SelectFolderField(HWND dialog) {
  HWND field = GetDlgItem(dialog, kIdFolder);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

void Browse(HWND dialog) {
  cvi::win32::OleSession ole;
  const std::string start = WindowText(GetDlgItem(dialog, kIdFolder));
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = dialog;
  info.pszDisplayName = display;
  info.lpszTitle = "Choose the folder to unpack into:";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  UniquePidl chosen(SHBrowseForFolderA(&info));
  char path[MAX_PATH] = {};
  if (chosen && SHGetPathFromIDListA(chosen.get(), path))
    SetDlgItemTextA(dialog, kIdFolder, path);
  SelectFolderField(dialog);
}

BOOL CALLBACK ShowControl(HWND control, LPARAM show) {
  ShowWindow(control, static_cast<int>(show));
  return TRUE;
}

BOOL CALLBACK DisableControl(HWND control, LPARAM) {
  EnableWindow(control, FALSE);
  return TRUE;
}

// Another program's box of the completion window's title: a second copy of this one, in the mode
// box-only, whose box is up before this copy goes on.
void StartForeignBox() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", "box-only");
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  for (int tries = 0; tries < 250; ++tries) {
    HWND box = FindWindowA(nullptr, kMessageTitle);
    DWORD owner = 0;
    if (box && GetWindowThreadProcessId(box, &owner) && owner == info.dwProcessId)
      break;
    Sleep(20);
  }
  Sleep(1500);
}

VOID CALLBACK EndNow(HWND, UINT, UINT_PTR, DWORD) {
  ExitProcess(0);
}

// What a misbehaving stub does between the click on Unzip and the unpacking.
void Misbehave(HWND dialog, const Options& options) {
  if (options.misbehaviour == Misbehaviour::SlowUnzip) {
    EnumChildWindows(dialog, DisableControl, 0);
    Sleep(options.delayMs);
  } else if (options.misbehaviour == Misbehaviour::ForeignBox) {
    StartForeignBox();
  }
}

void UnzipClicked(HWND dialog, const DialogState& state) {
  const std::string folder =
      ResolveFolder(WindowText(GetDlgItem(dialog, kIdFolder)), state.package->Folder());
  if (folder.empty()) {
    MessageBoxA(dialog, "Type the full name of the folder to unpack into.", kMessageTitle,
                MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Misbehave(dialog, state.options);
  std::size_t written = 0;
  const ZipResult result =
      Unpack(state.package->archive, folder, state.options.unwritable, &written);
  if (!result.ok()) {
    const std::string extent =
        written == 0 ? "Nothing was unpacked."
                     : "Unpacking stopped there, after " + std::to_string(written) + " of " +
                           std::to_string(state.package->archive.FileCount()) + " files.";
    MessageBoxA(dialog, (result.message + "\r\n\r\n" + extent).c_str(), kMessageTitle,
                MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (state.options.misbehaviour == Misbehaviour::NoCompletion)
    return;
  const std::size_t files = state.package->archive.FileCount();
  const std::string text = std::to_string(files) + (files == 1 ? " file was" : " files were") +
                           " unpacked into " + folder;
  MessageBoxA(dialog, text.c_str(), kMessageTitle, MB_OK | MB_ICONINFORMATION);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (state == nullptr && message != WM_INITDIALOG)
    return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<DialogState*>(lParam);
      const Package& package = *state->package;
      SetWindowTextA(dialog, (kDialogTitle + package.FileName()).c_str());
      const std::size_t files = package.archive.FileCount();
      SetDlgItemTextA(dialog, kIdInfo,
                      (std::to_string(files) + (files == 1 ? " file" : " files") +
                       " will be unpacked into the folder below.")
                          .c_str());
      SetDlgItemTextA(dialog, kIdFolder, package.ProposedFolder().c_str());
      if (state->options.misbehaviour == Misbehaviour::NoMnemonics)
        SetPropA(dialog, kKeysWithoutMnemonics, dialog);
      if (state->options.lifetimeMs != 0)
        SetTimer(dialog, kLifetimeTimer, state->options.lifetimeMs, nullptr);
      if (state->options.misbehaviour == Misbehaviour::LateControls) {
        EnumChildWindows(dialog, ShowControl, SW_HIDE);
        SetTimer(dialog, kControlsTimer, state->options.delayMs, nullptr);
      }
      SelectFolderField(dialog);
      if (state->options.misbehaviour == Misbehaviour::TwoFields)
        SetFocus(GetDlgItem(dialog, kIdSecondField));
      return FALSE;  // the focus is set
    }
    case WM_DESTROY:
      RemovePropA(dialog, kKeysWithoutMnemonics);
      return FALSE;
    case WM_TIMER:
      // A misbehaving stub must not outlive its test, even with a message box open.
      if (wParam == kLifetimeTimer)
        ExitProcess(0);
      if (wParam == kControlsTimer) {
        KillTimer(dialog, kControlsTimer);
        EnumChildWindows(dialog, ShowControl, SW_SHOW);
        SelectFolderField(dialog);
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdUnzip:
          UnzipClicked(dialog, *state);
          return TRUE;
        case kIdBrowse:
          Browse(dialog);
          return TRUE;
        case kIdClose:
          if (state->options.misbehaviour != Misbehaviour::IgnoreClose)
            EndDialog(dialog, 0);
          return TRUE;
      }
      // Enter lands here as IDOK: there is no default button, so that a half-typed folder is
      // never unpacked into by accident.
      return TRUE;
  }
  return FALSE;
}

// An in-memory dialog template, so that the stub needs no resource file.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, WORD width, WORD height) {
    Dword(style);
    Dword(0);  // extended style
    countAt_ = words_.size();
    Word(0);  // control count, filled in by Add
    Words({0, 0, width, height});
    Words({0, 0});  // no menu, the standard class
    Text("");       // title, set at run time
    Word(8);
    Text("MS Shell Dlg");
  }

  void
  Add(WORD classAtom, DWORD style, WORD id, WORD x, WORD y, WORD cx, WORD cy, const char* text) {
    if (words_.size() % 2 != 0)
      Word(0);  // items start on a DWORD boundary
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Words({x, y, cx, cy});
    Word(id);
    Words({0xFFFF, classAtom});
    Text(text);
    Word(0);  // no creation data
    ++words_[countAt_];
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Words(std::initializer_list<WORD> values) { words_.insert(words_.end(), values); }
  void Dword(DWORD value) { Words({LOWORD(value), HIWORD(value)}); }
  void Text(const char* text) {
    for (; *text != '\0'; ++text)
      Word(static_cast<unsigned char>(*text));
    Word(0);
  }

  std::vector<WORD> words_;  // WORD-aligned by construction; DLGTEMPLATE needs DWORD alignment
  std::size_t countAt_ = 0;
};

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

// Alt+U and Alt+C for a dialog whose buttons carry no mnemonics: the dialog's message loop hands
// every message to this filter before it looks for a mnemonic.
LRESULT CALLBACK KeysWithoutMnemonics(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && msg->message == WM_SYSCHAR) {
    HWND dialog = GetAncestor(msg->hwnd, GA_ROOT);
    const auto key = static_cast<char>(std::tolower(static_cast<int>(msg->wParam)));
    if (GetPropA(dialog, kKeysWithoutMnemonics) && (key == 'u' || key == 'c')) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(key == 'u' ? kIdUnzip : kIdClose, BN_CLICKED), 0);
      return TRUE;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookRemover {
  void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookRemover>;

int ShowDialog(Package& package, const Options& options) {
  const bool mnemonics = options.misbehaviour != Misbehaviour::NoMnemonics;
  DialogTemplate dialog(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                        260, 78);
  dialog.Add(kStatic, SS_LEFT | SS_NOPREFIX, kIdInfo, 7, 7, 246, 10, "");
  dialog.Add(kStatic, SS_LEFT | SS_NOPREFIX, kIdFolderLabel, 7, 22, 186, 9, "Unzip to folder:");
  dialog.Add(kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kIdFolder, 7, 33, 186, 14, "");
  dialog.Add(kButton, BS_PUSHBUTTON | WS_TABSTOP, kIdBrowse, 199, 33, 54, 14,
             mnemonics ? "Br&owse..." : "Browse...");
  dialog.Add(kButton, BS_PUSHBUTTON | WS_TABSTOP, kIdUnzip, 139, 57, 54, 14,
             mnemonics ? "&Unzip" : "Unzip");
  dialog.Add(kButton, BS_PUSHBUTTON | WS_TABSTOP, kIdClose, 199, 57, 54, 14,
             mnemonics ? "&Close" : "Close");
  if (options.misbehaviour == Misbehaviour::TwoFields) {
    dialog.Add(kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kIdSecondField, 7, 57, 126, 14, "");
  }
  UniqueHook keys(mnemonics ? nullptr
                            : SetWindowsHookExA(WH_MSGFILTER, KeysWithoutMnemonics, nullptr,
                                                GetCurrentThreadId()));
  DialogState state{&package, options};
  return static_cast<int>(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), nullptr,
                                                  DialogProc, reinterpret_cast<LPARAM>(&state)));
}

}  // namespace

const char cvi::win32::kRuntimeFailureTitle[] = "WinZip Self-Extractor";
const char cvi::win32::kRuntimeFailureText[] =
    "The package cannot be unpacked because of an unexpected error: ";

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const Options options = ReadOptions();
  if (options.misbehaviour == Misbehaviour::NoDialog) {
    Sleep(8000);
    return 0;
  }
  if (options.misbehaviour == Misbehaviour::BoxOnly) {
    SetTimer(nullptr, 0, 60000, EndNow);
    MessageBoxA(nullptr, "This box belongs to another program.", kMessageTitle, MB_OK);
    return 0;
  }
  Package package;
  if (const ZipResult result = package.Open(); !result.ok()) {
    const std::string text = result.message + "\r\n\r\nThis package cannot be unpacked.";
    MessageBoxA(nullptr, text.c_str(), kMessageTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  if (options.misbehaviour == Misbehaviour::SlowDialog)
    Sleep(options.delayMs);
  return ShowDialog(package, options);
}
