// The narrow interfaces through which the installer's logic reaches the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/InternetJob.h"

namespace cvi {

// What a directory-entry lookup may find.
enum class EntryKind {
  OrdinaryFile,  // files only: no folders, hidden or system files
  FolderOrFile,  // folders and ordinary files alike
};

// Why a file could not be created, held, renamed or deleted, where the installer acts on the
// reason.
enum class FileError {
  None,
  InUse,  // another program has the file open or runs it; it may let go soon
  Other,
};

// A local file being written as a byte stream; closed when destroyed.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* data, std::size_t size) = 0;
};

// A file held open for reading while others may only read it too, so that it cannot be changed,
// replaced or deleted until the holder lets go; closed when destroyed.
class HeldFile {
 public:
  static constexpr std::size_t kSha256Size = 32;
  virtual ~HeldFile() = default;
  // The SHA-256 digest of the whole file; false when it cannot be read.
  virtual bool Sha256(std::uint8_t (&digest)[kSha256Size]) = 0;
  // Gives the held file another name in its folder, replacing a file of that name, and goes on
  // holding it; once renamed, it cannot be renamed again.
  virtual FileError Rename(const std::string& path) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The name, as stored on disk, of the entry that the path names; "" when there is none or the
  // lookup fails.
  virtual std::string FindEntry(const std::string& path, EntryKind kind) = 0;
  // Creates one folder level; false on any failure (it exists, the parent is missing, ...).
  virtual bool CreateFolder(const std::string& path) = 0;
  // `why`, when given, tells why a call failed.
  virtual bool DeleteFile(const std::string& path, FileError* why = nullptr) = 0;
  // Creates (or replaces) a file for writing; null on failure. While it is written others may read
  // or delete it.
  virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path,
                                                       FileError* why = nullptr) = 0;
  // Opens an existing file so that nobody else can write, replace or delete it while it is held;
  // null when it cannot be opened so. Until the holder renames it, others may open it only if they
  // let it be deleted too, as the start of a program does.
  virtual std::unique_ptr<HeldFile> HoldForReading(const std::string& path,
                                                   FileError* why = nullptr) = 0;
  // Bytes that the caller may still write on the drive of `folder`; -1 when that cannot be told.
  virtual std::int64_t FreeSpace(const std::string& folder) = 0;
  // Paths are text of the active ANSI code page, where a character may take two bytes: true when
  // `byte` is the first of two (IsDBCSLeadByte).
  virtual bool IsLeadByte(unsigned char byte) = 0;
  // GetDriveTypeA of a root path such as "C:\".
  virtual int DriveType(const std::string& root) = 0;
  // Gives the file `from` the name `to`, replacing a file of that name; None when done.
  virtual FileError RenameFile(const std::string& from, const std::string& to) = 0;
  // Whether the existing file could be opened now to be written or deleted, which is what
  // replacing it needs; InUse while another program holds it, as a running program holds its own
  // file. Nothing is changed.
  virtual FileError TryOpenForWriting(const std::string& path) = 0;
};

// RegOpenKeyExA / RegQueryValueExA / RegCloseKey, with their status codes.
class Registry {
 public:
  using Key = std::uintptr_t;
  static constexpr Key kLocalMachine = 0x80000002u;
  static constexpr std::uint32_t kKeyRead = 0x20019u;
  static constexpr long kSuccess = 0;
  static constexpr long kFileNotFound = 2;
  static constexpr long kMoreData = 234;

  virtual ~Registry() = default;
  virtual long OpenKey(Key root,
                       const std::string& subKey,
                       std::uint32_t options,
                       std::uint32_t access,
                       Key* result) = 0;
  // `size` holds the capacity of `data` on entry and the size needed or delivered on return.
  virtual long QueryValue(Key key,
                          const std::string& name,
                          std::uint32_t* type,
                          std::uint8_t* data,
                          std::uint32_t* size) = 0;
  virtual long CloseKey(Key key) = 0;
};

class EventPump;

// Why an address could not be fetched, where the user can act on the reason.
enum class NetProblem : char {
  Unknown,
  CertUntrusted,     // the server's certificate is not trusted, or revoked
  CertWrongName,     // the certificate is for another name than the address's
  CertDates,         // the certificate has expired or is not yet valid
  ProxySignIn,       // the proxy asks for a user name and password (407)
  ProxyUnreachable,  // the proxy set in the system's settings does not answer
  NameNotKnown,      // the server's name cannot be resolved
  Refused,           // the server refused the connection
  NoAnswer,          // no answer in time
};

// The HTTP client (WinINet on Windows). Its calls may wait on the network for ever, so the
// installer makes them only inside an InternetJob, on the job's own thread (StartJob).
class Internet {
 public:
  using Handle = std::uintptr_t;  // 0 means none
  static constexpr std::uint32_t kOpenTypePreconfig = 0;
  static constexpr std::uint32_t kFlagExistingConnect = 0x20000000u;
  static constexpr std::uint32_t kFlagNoCacheWrite = 0x04000000u;
  static constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;
  static constexpr std::uint32_t kFlagReload = 0x80000000u;

  virtual ~Internet() = default;
  virtual Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) = 0;
  // Connect, send and receive time-outs of a session, in milliseconds.
  virtual void SetTimeouts(Handle session, std::uint32_t milliseconds) = 0;
  virtual Handle OpenUrl(Handle session, const std::string& url, std::uint32_t flags) = 0;
  // Why the last OpenUrl of this client answered 0.
  virtual NetProblem OpenFailure() = 0;
  // The reply's Content-Type; "" when it has none.
  virtual std::string ContentType(Handle request) = 0;
  // The reply's HTTP status, or 0 when it cannot be told.
  virtual int StatusCode(Handle request) = 0;
  // The absolute address that a redirect reply points to; "" when the reply is no redirect.
  virtual std::string RedirectTarget(Handle request) = 0;
  // The length of the body that the reply announces; -1 when it announces none.
  virtual std::int64_t AnnouncedLength(Handle request) = 0;
  // Waits until some of the body has arrived or the body has ended; *bytes is what can then be
  // read without waiting, 0 at the end. False on failure.
  virtual bool Available(Handle request, std::uint32_t* bytes) = 0;
  // False on failure; true with *read == 0 at the end of the body.
  virtual bool Read(Handle request, char* buffer, std::uint32_t toRead, std::uint32_t* read) = 0;
  virtual void Close(Handle handle) = 0;
  // Runs `job` on a thread of its own, with an HTTP client of that thread's own; `events`
  // dispatches the window events while the window's thread waits for the job. Null when no thread
  // can be started.
  virtual std::unique_ptr<JobResults> StartJob(std::unique_ptr<InternetJob> job,
                                               EventPump& events) = 0;
};

// Message box styles and answers, as the platform numbers them.
namespace mb {
constexpr std::uint32_t kOk = 0x00;
constexpr std::uint32_t kOkCancel = 0x01;
constexpr std::uint32_t kYesNo = 0x04;
constexpr std::uint32_t kIconQuestion = 0x20;
constexpr std::uint32_t kIconExclamation = 0x30;
constexpr std::uint32_t kIconInformation = 0x40;
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;
}  // namespace mb

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A box modal to the application; returns the button answer.
  virtual int Show(const std::string& text, const std::string& title, std::uint32_t style) = 0;
};

class EventPump {
 public:
  virtual ~EventPump() = default;
  // Pauses while dispatching every window event of the thread.
  virtual void WaitMilliseconds(std::int32_t milliseconds) = 0;
  // Dispatches every pending window event, then returns.
  virtual void DoEvents() = 0;
  // The same, for the last look of a loop: never skipped however recently DoEvents looked.
  virtual void DoEventsNow() { DoEvents(); }
};

// A program the installer started; letting go of it leaves the program running.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  virtual std::uint32_t Id() = 0;
  // True once the program has ended; its exit code then goes to `exitCode`.
  virtual bool Ended(std::uint32_t* exitCode) = 0;
};

class Processes {
 public:
  // Why a program could not be started: the system's error code and its own words for it.
  struct StartError {
    static constexpr std::uint32_t kElevationRequired = 740;
    std::uint32_t code = 0;
    std::string reason;  // "" when the system has no words for the code
  };
  virtual ~Processes() = default;
  // Starts `program` with the whole `commandLine` (its first token naming the program); the
  // process is not waited for. False when it cannot be started; `error`, when given, says why.
  virtual bool Start(const std::string& program,
                     const std::string& commandLine,
                     int showStyle,
                     StartError* error = nullptr) = 0;
  // The same start for a program that is then watched. The start runs on a short-lived thread of
  // its own while `events` dispatches the window events, since a virus scanner may hold it for
  // seconds; null when the program cannot be started.
  virtual std::unique_ptr<RunningProcess> Launch(const std::string& program,
                                                 const std::string& commandLine,
                                                 int showStyle,
                                                 EventPump& events,
                                                 StartError* error = nullptr) = 0;
  // The running executable's file name without its extension.
  virtual std::string ExecutableName() = 0;
};

// The application-wide mouse pointer (0 default, 11 hourglass).
class Screen {
 public:
  static constexpr int kDefault = 0;
  static constexpr int kHourglass = 11;
  virtual ~Screen() = default;
  virtual int MousePointer() = 0;
  virtual void SetMousePointer(int pointer) = 0;
};

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  // The chosen folder ending in "\", or "" when the user cancels. The dialog is modal to the
  // installer's window, and closes as if cancelled once `stillWanted` answers false.
  virtual std::string BrowseForFolder(const std::string& title,
                                      const std::string& startFolder,
                                      const std::function<bool()>& stillWanted) = 0;
};

// The desktop's top-level windows, of any program, for driving another program's dialog.
class Windows {
 public:
  using Handle = std::uintptr_t;  // 0 means none
  virtual ~Windows() = default;
  // The first top-level window in stacking order (FindWindowA with no class and no title).
  virtual Handle First() = 0;
  // The next top-level window below `window` (GetWindow with GW_HWNDNEXT), 0 after the last.
  virtual Handle Next(Handle window) = 0;
  // GetWindowTextLengthA: the title's length in ANSI characters.
  virtual int TitleLength(Handle window) = 0;
  // GetWindowTextA into `buffer` of `size` characters; the number of characters copied.
  virtual int Title(Handle window, char* buffer, int size) = 0;
  // The process that made the window (GetWindowThreadProcessId); 0 when the window is gone.
  virtual std::uint32_t ProcessOf(Handle window) = 0;
  // SetForegroundWindow; the answer is the platform's and may be ignored.
  virtual bool BringToFront(Handle window) = 0;
  // GetForegroundWindow.
  virtual Handle Foreground() = 0;

  // Controls inside another program's window. Every call that needs an answer from that program
  // gives up after a short time-out, so that a hung program cannot hold the installer.
  struct Button {
    Handle handle;
    std::string caption;  // with the "&" of its mnemonic
  };
  // The text fields inside `window` that are shown and enabled, in the window's order.
  virtual std::vector<Handle> TextFields(Handle window) = 0;
  // WM_SETTEXT and WM_GETTEXT; false on failure or time-out.
  virtual bool SetControlText(Handle control, const std::string& text) = 0;
  virtual bool ControlText(Handle control, std::string* text) = 0;
  // The push buttons inside `window` that are shown and enabled, in the window's order.
  virtual std::vector<Button> Buttons(Handle window) = 0;
  // The button that Enter presses in `window` (its default button, else IDOK); 0 when none.
  virtual Handle DefaultButton(Handle window) = 0;
  // Posts the button's BN_CLICKED to its window and returns at once, so that whatever the click
  // starts there never holds the installer; false when the button is gone or disabled.
  virtual bool Click(Handle button) = 0;
};

// One format of the clipboard's content, as bytes.
struct ClipboardFormat {
  std::uint32_t id;
  std::string data;
};

// The clipboard, lent for a paste: all of its content is kept and put back.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content by `text`.
  virtual bool SetText(const std::string& text) = 0;
  // Reads every format into `saved` and empties the clipboard, in one opening. False, with the
  // clipboard untouched, when it cannot be opened or any of its formats cannot be kept.
  virtual bool Take(std::vector<ClipboardFormat>* saved) = 0;
  // Replaces the clipboard's content by what Take kept.
  virtual bool Restore(const std::vector<ClipboardFormat>& saved) = 0;
};

// Simulated keystrokes, in the notation "^(v)" (Ctrl+V), "%(u)" (Alt+U), "\r" (Enter), delivered
// to the thread of one window (to its focused control) and never to whatever window is in front.
// The call returns once that thread has taken them in, or after a short time-out.
class Keyboard {
 public:
  virtual ~Keyboard() = default;
  virtual bool SendTo(Windows::Handle window, const std::string& keys) = 0;
};

// Everything the logic may touch outside itself.
struct Platform {
  FileSystem& files;
  Registry& registry;
  Internet& internet;
  MessageBoxes& messageBoxes;
  EventPump& events;
  Processes& processes;
  Screen& screen;
  FolderBrowser& folderBrowser;
  Windows& windows;
  Clipboard& clipboard;
  Keyboard& keyboard;
};

}  // namespace cvi
