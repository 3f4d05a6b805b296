// The Win32 implementations of the platform interfaces, and the hooks they share with the windows.
#pragma once

#include <windows.h>
// The file-system interface has a DeleteFile of its own; Win32 code calls DeleteFileA by name.
#undef DeleteFile

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace cvi::win32 {

// Sees every message the event pump takes from the queue before it is translated and dispatched;
// true means the message was handled and goes no further (the windows' own Tab handling).
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  virtual bool PreTranslate(MSG& msg) = 0;
};

// The installer's windows as the owners of message boxes.
class FormWindows {
 public:
  virtual ~FormWindows() = default;
  // The first visible installer window, or null when none is visible.
  virtual HWND FirstVisibleForm() = 0;
};

// MsgWaitForMultipleObjectsEx that wakes for touch and pen input too (QS_TOUCH, QS_POINTER), which
// the headers for Windows 7 leave out of every mask; a system before Windows 8 refuses those two,
// and is then asked without them (EventPump.cpp).
DWORD MsgWaitWithTouch(DWORD count,
                       const HANDLE* handles,
                       DWORD milliseconds,
                       DWORD wakeMask,
                       DWORD flags);

class Win32EventPump : public EventPump {
 public:
  explicit Win32EventPump(MessageFilter* filter = nullptr) : filter_(filter) {}
  void SetFilter(MessageFilter* filter) { filter_ = filter; }
  void WaitMilliseconds(std::int32_t milliseconds) override;
  void DoEvents() override;
  void DoEventsNow() override;

 private:
  void WaitWithoutTimer(DWORD start, std::int32_t milliseconds);
  // Sets the shared timer to fire `milliseconds` from now.
  static bool Arm(HANDLE timer, DWORD milliseconds);
  // Takes and dispatches every message in the queue.
  void Dispatch();
  MessageFilter* filter_;
  // When DoEvents last looked at the queue, in performance-counter ticks.
  LONGLONG lastLook_ = 0;
  // Timed waits begun so far; a wait whose count has moved on had a wait nested in it.
  unsigned waitsStarted_ = 0;
};

class Win32Registry : public Registry {
 public:
  long OpenKey(Key root,
               const std::string& subKey,
               std::uint32_t options,
               std::uint32_t access,
               Key* result) override;
  long QueryValue(Key key,
                  const std::string& name,
                  std::uint32_t* type,
                  std::uint8_t* data,
                  std::uint32_t* size) override;
  long CloseKey(Key key) override;
};

class Win32FileSystem : public FileSystem {
 public:
  std::string FindEntry(const std::string& path, EntryKind kind) override;
  bool CreateFolder(const std::string& path) override;
  bool DeleteFile(const std::string& path, FileError* why = nullptr) override;
  std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path,
                                               FileError* why = nullptr) override;
  std::unique_ptr<HeldFile> HoldForReading(const std::string& path,
                                           FileError* why = nullptr) override;
  std::int64_t FreeSpace(const std::string& folder) override;
  bool IsLeadByte(unsigned char byte) override;
  int DriveType(const std::string& root) override;
  FileError RenameFile(const std::string& from, const std::string& to) override;
  FileError TryOpenForWriting(const std::string& path) override;
};

class Win32MessageBoxes : public MessageBoxes {
 public:
  explicit Win32MessageBoxes(FormWindows& forms) : forms_(forms) {}
  int Show(const std::string& text, const std::string& title, std::uint32_t style) override;

 private:
  FormWindows& forms_;
};

class Win32Processes : public Processes {
 public:
  using CreateProcessFunction = decltype(&CreateProcessA);
  // Tests may put a slower CreateProcessA in its place.
  explicit Win32Processes(CreateProcessFunction create = &CreateProcessA) : create_(create) {}
  bool Start(const std::string& program,
             const std::string& commandLine,
             int showStyle,
             StartError* error = nullptr) override;
  std::unique_ptr<RunningProcess> Launch(const std::string& program,
                                         const std::string& commandLine,
                                         int showStyle,
                                         EventPump& events,
                                         StartError* error = nullptr) override;
  std::string ExecutableName() override;

 private:
  CreateProcessFunction create_;
};

// The application-wide mouse pointer. The windows ask it on WM_SETCURSOR so that the pointer
// stays what it was set to while it moves over them.
class Win32Screen : public Screen {
 public:
  int MousePointer() override { return pointer_; }
  void SetMousePointer(int pointer) override;
  // The cursor for the current pointer; null for the default (the window's own cursor).
  HCURSOR Cursor() const;

 private:
  int pointer_ = kDefault;
};

// The folder dialog (FolderBrowser.cpp), owned by the first visible installer window.
class Win32FolderBrowser : public FolderBrowser {
 public:
  explicit Win32FolderBrowser(FormWindows* forms = nullptr) : forms_(forms) {}
  std::string BrowseForFolder(const std::string& title,
                              const std::string& startFolder,
                              const std::function<bool()>& stillWanted) override;

 private:
  FormWindows* forms_;
};

// The control with the keyboard focus of the thread of `window`, when it is `window` or inside
// it; null otherwise (Windows.cpp).
HWND FocusInside(HWND window);

// Other programs' top-level windows (Windows.cpp).
class Win32Windows : public Windows {
 public:
  Handle First() override;
  Handle Next(Handle window) override;
  int TitleLength(Handle window) override;
  int Title(Handle window, char* buffer, int size) override;
  std::uint32_t ProcessOf(Handle window) override;
  bool BringToFront(Handle window) override;
  Handle Foreground() override;
  std::vector<Handle> TextFields(Handle window) override;
  bool SetControlText(Handle control, const std::string& text) override;
  bool ControlText(Handle control, std::string* text) override;
  std::vector<Button> Buttons(Handle window) override;
  Handle DefaultButton(Handle window) override;
  bool Click(Handle button) override;
};

// The clipboard: text in the ANSI code page, and all of its content (Clipboard.cpp).
class Win32Clipboard : public Clipboard {
 public:
  bool SetText(const std::string& text) override;
  bool Take(std::vector<ClipboardFormat>* saved) override;
  bool Restore(const std::vector<ClipboardFormat>& saved) override;
};

// Keystrokes as keyboard messages to one window's thread, followed until that thread has taken
// them (Keyboard.cpp).
class Win32Keyboard : public Keyboard {
 public:
  bool SendTo(Windows::Handle window, const std::string& keys) override;
};

// The HTTP client over WinINet (WinInet.cpp). A handle stands for an object of this client that
// belongs to its one request, so that an abandoned transfer and a new one share nothing. Its jobs
// run on threads of their own, each with a client of its own (InternetWorker.cpp).
class Win32Internet : public Internet {
 public:
  Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) override;
  void SetTimeouts(Handle session, std::uint32_t milliseconds) override;
  Handle OpenUrl(Handle session, const std::string& url, std::uint32_t flags) override;
  NetProblem OpenFailure() override { return openFailure_; }
  std::string ContentType(Handle request) override;
  int StatusCode(Handle request) override;
  std::string RedirectTarget(Handle request) override;
  std::int64_t AnnouncedLength(Handle request) override;
  bool Available(Handle request, std::uint32_t* bytes) override;
  bool Read(Handle request, char* buffer, std::uint32_t toRead, std::uint32_t* read) override;
  void Close(Handle handle) override;
  std::unique_ptr<JobResults> StartJob(std::unique_ptr<InternetJob> job,
                                       EventPump& events) override;

 private:
  NetProblem openFailure_ = NetProblem::Unknown;
};

}  // namespace cvi::win32
