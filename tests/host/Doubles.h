// Small stand-ins for the platform, so that the logic runs on the host exactly as on Windows.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LockStepJob.h"
#include "core/Installer.h"
#include "core/PackageDigests.h"
#include "platform/Platform.h"
#include "ui/Forms.h"

namespace cvi::test {

// Records what the model asks the screen to do.
class FakeFormView : public FormView {
 public:
  void Create(const FormDesign& design, const std::vector<ControlState>&) override {
    log.push_back(std::string("create ") + NameOf(design.name));
  }
  void Destroy(Form form) override { log.push_back(std::string("destroy ") + NameOf(form)); }
  void Show(Form form, bool visible) override {
    log.push_back(std::string(visible ? "show " : "hide ") + NameOf(form));
  }
  void Update(Form form, Ctl ctl, Property property, const ControlState& state) override {
    ++updates;
    if (onUpdate)
      onUpdate(form, ctl, property, state);
  }
  std::vector<std::string> log;
  int updates = 0;
  std::function<void(Form, Ctl, Property, const ControlState&)> onUpdate;
};

// A case-insensitive file system of folders and files, with hidden and system entries.
class FakeFileSystem : public FileSystem {
 public:
  struct Entry {
    std::string name;  // as stored
    bool folder = false;
    bool hidden = false;
    std::string data;
  };

  void AddFolder(const std::string& path, bool hidden = false) { Put(path, true, hidden); }
  void AddFile(const std::string& path, bool hidden = false, const std::string& data = "") {
    Put(path, false, hidden).data = data;
  }
  bool Exists(const std::string& path) const { return entries.count(Key(path)) != 0; }
  const Entry* Get(const std::string& path) const {
    auto it = entries.find(Key(path));
    return it == entries.end() ? nullptr : &it->second;
  }

  std::string FindEntry(const std::string& path, EntryKind kind) override {
    lookups.push_back(path);
    // FindFirstFileA finds nothing for a path that ends in a separator.
    if (!path.empty() && NameStart(path) == path.size())
      return "";
    auto it = entries.find(Key(path));
    if (it == entries.end())
      return "";
    const Entry& e = it->second;
    // Folders are found in folder mode whatever their attributes; files only when ordinary.
    if (e.folder)
      return kind == EntryKind::FolderOrFile ? e.name : "";
    return e.hidden ? "" : e.name;
  }
  bool CreateFolder(const std::string& path) override {
    created.push_back(path);
    if (failCreate.count(Key(path)) || Exists(path) || !Exists(Parent(path)))
      return false;
    AddFolder(path);
    return true;
  }
  bool DeleteFile(const std::string& path, FileError* why = nullptr) override {
    if (Busy(path, why))
      return false;
    auto it = entries.find(Key(path));
    if (it == entries.end() || it->second.folder)
      return Tell(why, FileError::Other);
    entries.erase(it);
    return true;
  }
  std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path,
                                               FileError* why = nullptr) override;
  std::unique_ptr<HeldFile> HoldForReading(const std::string& path,
                                           FileError* why = nullptr) override;
  std::int64_t FreeSpace(const std::string& folder) override {
    freeSpaceQueries.push_back(folder);
    return freeSpace;
  }
  // Another program holds the file: it refuses the next `busy[key]` tries as in use.
  bool Busy(const std::string& path, FileError* why) {
    Tell(why, FileError::None);
    auto it = busy.find(Key(path));
    if (it == busy.end() || it->second == 0)
      return false;
    --it->second;
    return !Tell(why, FileError::InUse);
  }
  static bool Tell(FileError* why, FileError reason) {
    if (why)
      *why = reason;
    return false;
  }
  FileError RenameFile(const std::string& from, const std::string& to) override {
    FileError why = FileError::None;
    auto it = entries.find(Key(from));
    if (Busy(from, &why) || it == entries.end() || it->second.folder)
      return why == FileError::None ? FileError::Other : why;
    Entry moved = it->second;
    entries.erase(it);
    AddFile(to, moved.hidden, moved.data);
    return FileError::None;
  }
  FileError TryOpenForWriting(const std::string& path) override {
    FileError why = FileError::None;
    return Busy(path, &why) ? why : FileError::None;
  }
  bool IsLeadByte(unsigned char byte) override { return leadBytes.count(byte) != 0; }
  int DriveType(const std::string& root) override {
    driveQueries.push_back(root);
    auto it = driveTypes.find(Key(root));
    return it == driveTypes.end() ? 1 : it->second;
  }

  static std::string Key(std::string path) {
    for (char& c : path)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // Windows folds repeated separators.
    std::string folded;
    for (char c : path) {
      if (c == '\\' && !folded.empty() && folded.back() == '\\')
        continue;
      folded += c;
    }
    if (folded.size() > 3 && folded.back() == '\\')
      folded.pop_back();
    return folded;
  }
  static std::string Parent(const std::string& path) {
    auto pos = path.find_last_of('\\');
    return pos == std::string::npos ? "" : path.substr(0, pos == 2 ? 3 : pos);
  }

  std::map<std::string, Entry> entries;
  std::map<std::string, int> driveTypes{{"C:\\", 3}};
  std::set<std::string> failCreate;  // keys of folders whose creation fails
  std::set<std::string> failOpen;    // keys of files that cannot be created
  std::map<std::string, int> busy;   // keys of files held by another program, and for how long
  std::int64_t freeSpace = -1;       // on every drive; -1: cannot be told
  // A package file holds the genuine package unless its key is here.
  std::set<std::string> tampered;
  int held = 0;  // files held open right now
  // The code page's lead bytes; none for a single-byte code page.
  std::set<unsigned char> leadBytes;
  std::vector<std::string> lookups, created, driveQueries, freeSpaceQueries;

 private:
  // Where the last component starts: after the last separator character, never after the second
  // byte of a double-byte character.
  std::size_t NameStart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
      if (path[i] == '\\')
        start = i + 1;
      if (IsLeadByte(static_cast<unsigned char>(path[i])))
        ++i;
    }
    return start;
  }
  Entry& Put(const std::string& path, bool folder, bool hidden) {
    Entry& e = entries[Key(path)];
    e.name = path.substr(NameStart(path));
    e.folder = folder;
    e.hidden = hidden;
    return e;
  }
};

class FakeOutputFile : public OutputFile {
 public:
  FakeOutputFile(FakeFileSystem& fs, std::string key) : fs_(fs), key_(std::move(key)) {}
  bool Write(const char* data, std::size_t size) override {
    auto it = fs_.entries.find(key_);
    if (it == fs_.entries.end())
      return false;
    it->second.data.append(data, size);
    return true;
  }

 private:
  FakeFileSystem& fs_;
  std::string key_;
};

// Hashes as the genuine package of its name (a temporary one included) unless the file system
// calls it tampered with; renamed, it takes its data and attributes to the new name.
class FakeHeldFile : public HeldFile {
 public:
  FakeHeldFile(FakeFileSystem& fs, std::string path, std::string digestHex)
      : fs_(fs), path_(std::move(path)), hex_(std::move(digestHex)) {
    ++fs_.held;
  }
  ~FakeHeldFile() override { --fs_.held; }
  bool Sha256(std::uint8_t (&digest)[kSha256Size]) override {
    for (std::size_t i = 0; i < kSha256Size; ++i)
      digest[i] = static_cast<std::uint8_t>(std::stoi(hex_.substr(2 * i, 2), nullptr, 16));
    return true;
  }
  FileError Rename(const std::string& path) override {
    FileError why = FileError::None;
    if (fs_.Busy(path, &why))
      return why;
    auto it = fs_.entries.find(FakeFileSystem::Key(path_));
    if (it == fs_.entries.end())
      return FileError::Other;
    FakeFileSystem::Entry moved = it->second;
    fs_.entries.erase(it);
    fs_.AddFile(path, moved.hidden, moved.data);
    path_ = path;
    return FileError::None;
  }

 private:
  FakeFileSystem& fs_;
  std::string path_;
  std::string hex_;
};

inline std::unique_ptr<HeldFile> FakeFileSystem::HoldForReading(const std::string& path,
                                                                FileError* why) {
  if (Busy(path, why))
    return nullptr;
  const Entry* e = Get(path);
  if (!e || e->folder) {
    Tell(why, FileError::Other);
    return nullptr;
  }
  std::string name = path;
  const std::string partial = ".partial";
  if (name.size() > partial.size() &&
      name.compare(name.size() - partial.size(), partial.size(), partial) == 0)
    name.resize(name.size() - partial.size());
  auto endsWith = [&](const std::string& tail) {
    return name.size() >= tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
  };
  const bool genuine = !tampered.count(Key(name)) && !tampered.count(Key(path));
  std::string hex(64, '0');
  if (genuine && endsWith("\\CelvaraStudio_Upgrade_v3.9.exe"))
    hex = kUpgradePackageSha256;
  else if (genuine && endsWith("\\CelvaraStudio_v3.9.exe"))
    hex = kFullPackageSha256;
  return std::make_unique<FakeHeldFile>(*this, path, hex);
}

inline std::unique_ptr<OutputFile> FakeFileSystem::CreateOutputFile(const std::string& path,
                                                                    FileError* why) {
  if (Busy(path, why))
    return nullptr;
  if (failOpen.count(Key(path))) {
    Tell(why, FileError::Other);
    return nullptr;
  }
  AddFile(path);
  return std::make_unique<FakeOutputFile>(*this, Key(path));
}

// Behaves as RegQueryValueExA does: a capacity too small answers 234 with the size needed.
class FakeRegistry : public Registry {
 public:
  struct Value {
    std::uint32_t type;
    std::string data;  // raw bytes
  };
  // Values of the machine-wide environment key, by upper-case name.
  std::map<std::string, Value> values;
  long openStatus = kSuccess;
  int openKeys = 0;
  // Runs between the size probe and the read, to change the value under the reader.
  std::function<void()> afterProbe;

  void Set(const std::string& name, std::uint32_t type, const std::string& data) {
    values[FakeFileSystem::Key(name)] = Value{type, data};
  }
  long OpenKey(Key root,
               const std::string& subKey,
               std::uint32_t,
               std::uint32_t access,
               Key* result) override {
    lastRoot = root;
    lastSubKey = subKey;
    lastAccess = access;
    if (openStatus != kSuccess)
      return openStatus;
    ++openKeys;
    *result = 0x1234;
    return kSuccess;
  }
  long QueryValue(Key,
                  const std::string& name,
                  std::uint32_t* type,
                  std::uint8_t* data,
                  std::uint32_t* size) override {
    ++queries;
    auto it = values.find(FakeFileSystem::Key(name));
    if (it == values.end())
      return kFileNotFound;
    const Value& v = it->second;
    if (type)
      *type = v.type;
    std::uint32_t capacity = *size;
    *size = static_cast<std::uint32_t>(v.data.size());
    long status = kSuccess;
    if (capacity < v.data.size()) {
      status = kMoreData;
    } else if (data) {
      std::memcpy(data, v.data.data(), v.data.size());
    }
    if (queries == 1 && afterProbe)
      afterProbe();
    return status;
  }
  long CloseKey(Key) override {
    --openKeys;
    return kSuccess;
  }
  Key lastRoot = 0;
  std::string lastSubKey;
  std::uint32_t lastAccess = 0;
  int queries = 0;
};

// Message boxes answered from a script; every box shown is kept.
class FakeMessageBoxes : public MessageBoxes {
 public:
  struct Box {
    std::string text, title;
    std::uint32_t style;
  };
  int Show(const std::string& text, const std::string& title, std::uint32_t style) override {
    shown.push_back({text, title, style});
    if (onShow)
      onShow();
    if (answers.empty())
      return mb::kAnswerOk;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<Box> shown;
  std::deque<int> answers;
  std::function<void()> onShow;
};

// A virtual clock with a script of things the user does while the program waits or yields.
class ScriptedEvents : public EventPump {
 public:
  using Action = std::function<void()>;

  // Runs `action` during the first wait or yield at or after `atMs` on the virtual clock.
  void At(long atMs, Action action) { script.push_back({atMs, -1, std::move(action)}); }
  // Runs `action` during the n-th yield (1-based) of DoEvents.
  void AtYield(int n, Action action) { script.push_back({-1, n, std::move(action)}); }

  void WaitMilliseconds(std::int32_t ms) override {
    ++waits;
    // A loop that never ends would hang the test run; fail it instead.
    if (now > limitMs)
      throw std::runtime_error("virtual clock ran past its limit");
    waitLengths.push_back(ms);
    const long end = now + ms;
    Dispatch(end);
    if (now < end)
      now = end;
  }
  void DoEvents() override {
    ++yields;
    Dispatch(now);
  }
  // Counts as a yield too, so that the script can act during it.
  void DoEventsNow() override {
    ++lastLooks;
    DoEvents();
  }

  long now = 0;
  long limitMs = 10 * 60 * 1000;
  int waits = 0;
  int yields = 0;
  int lastLooks = 0;
  std::vector<int> waitLengths;

 private:
  struct Step {
    long atMs;
    int atYield;
    Action action;
  };
  void Dispatch(long until) {
    for (std::size_t i = 0; i < script.size();) {
      const Step& s = script[i];
      const bool due = s.atMs >= 0 ? s.atMs <= until : s.atYield == yields;
      if (!due) {
        ++i;
        continue;
      }
      const long atMs = s.atMs;
      Action a = std::move(script[i].action);
      script.erase(script.begin() + static_cast<long>(i));
      if (atMs > now)
        now = atMs;
      a();
      i = 0;
    }
  }
  std::vector<Step> script;
};

// The launched program as its watcher sees it: it has ended once `ended` is set, with exit code 9.
struct FakeRunningProcess : RunningProcess {
  static constexpr std::uint32_t kId = 4242;
  explicit FakeRunningProcess(const bool& ended) : ended(ended) {}
  std::uint32_t Id() override { return kId; }
  bool Ended(std::uint32_t* exitCode) override {
    *exitCode = 9;
    return ended;
  }
  const bool& ended;
};

class FakeProcesses : public Processes {
 public:
  std::unique_ptr<RunningProcess> Launch(const std::string& program,
                                         const std::string& commandLine,
                                         int style,
                                         EventPump&,
                                         StartError* error = nullptr) override {
    if (!Start(program, commandLine, style, error))
      return nullptr;
    return std::make_unique<FakeRunningProcess>(ended);
  }
  bool ended = false;  // the launched program has ended
  bool Start(const std::string& program,
             const std::string& commandLine,
             int style,
             StartError* error = nullptr) override {
    started.push_back({program, commandLine, style});
    if (startSucceeds && onStart)
      onStart();
    if (!startSucceeds && error)
      *error = startError;
    return startSucceeds;
  }
  std::string ExecutableName() override { return "CVInstall"; }
  struct Started {
    std::string program, commandLine;
    int style;
  };
  std::vector<Started> started;
  bool startSucceeds = true;
  StartError startError{193, "The package is not a valid Win32 application."};
  std::function<void()> onStart;
};

class FakeScreen : public Screen {
 public:
  int MousePointer() override { return pointer; }
  void SetMousePointer(int p) override {
    pointer = p;
    history.push_back(p);
  }
  int pointer = kDefault;
  std::vector<int> history;
};

class FakeFolderBrowser : public FolderBrowser {
 public:
  std::string BrowseForFolder(const std::string& title,
                              const std::string& start,
                              const std::function<bool()>& stillWanted) override {
    calls.push_back({title, start});
    if (whileOpen)
      whileOpen();
    wantedAtClose = stillWanted();
    return result;
  }
  std::vector<std::pair<std::string, std::string>> calls;
  std::string result;
  // What the user does elsewhere while the dialog is open.
  std::function<void()> whileOpen;
  // False when the real dialog would have closed by itself.
  bool wantedAtClose = true;
};

// An HTTP reply of any length, served in blocks; it can fail, stall or run without real data. Its
// jobs run in lock step with the window's side (LockStepJob), and every call made on the window's
// own thread is counted: there should be none.
class FakeInternet : public Internet {
 public:
  Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) override {
    Called();
    this->agent = agent;
    openAccess = accessType;
    openFlags = flags;
    if (!sessionOpens)
      return 0;
    ++open;
    return 1;
  }
  void SetTimeouts(Handle, std::uint32_t ms) override {
    Called();
    timeoutMs = ms;
  }
  Handle OpenUrl(Handle, const std::string& url, std::uint32_t flags) override {
    Called();
    this->url = url;
    urlFlags = flags;
    if (replyStalls) {
      job_->Block();
      return 0;
    }
    if (!urlOpens)
      return 0;
    ++open;
    served = 0;
    return 2;
  }
  NetProblem OpenFailure() override { return NetProblem::Unknown; }
  std::string ContentType(Handle) override { return contentType; }
  int StatusCode(Handle) override {
    Called();
    return status;
  }
  std::string RedirectTarget(Handle) override {
    Called();
    auto it = redirects.find(url);
    return it == redirects.end() ? "" : it->second;
  }
  std::int64_t AnnouncedLength(Handle) override {
    Called();
    return announced;
  }
  bool Available(Handle, std::uint32_t* bytes) override {
    Called();
    if (Stalled())
      return false;
    // The body arrives in pieces of `arrival` bytes; what is left of the current piece is there.
    const long long end = arrival > 0 ? std::min(length, (served / arrival + 1) * arrival) : length;
    *bytes = static_cast<std::uint32_t>(end - served);
    return true;
  }
  bool Read(Handle, char* buffer, std::uint32_t toRead, std::uint32_t* read) override {
    Called();
    ++reads;
    asked.push_back(toRead);
    if (failAfter >= 0 && served >= failAfter)
      return false;
    if (Stalled())
      return false;
    const long long left = length - served;
    const std::uint32_t n =
        static_cast<std::uint32_t>(left < static_cast<long long>(toRead) ? left : toRead);
    for (std::uint32_t i = 0; i < n && fillData; ++i)
      buffer[i] = ByteAt(served + i);
    served += n;
    *read = n;
    return true;
  }
  void Close(Handle) override {
    Called();
    --open;
    ++closes;
  }
  std::unique_ptr<JobResults> StartJob(std::unique_ptr<InternetJob> job,
                                       EventPump& events) override {
    ++jobs;
    if (!jobStarts)
      return nullptr;
    auto results = std::make_unique<LockStepJob>(std::move(job), *this, events, readAhead);
    job_ = results.get();
    return results;
  }
  static char ByteAt(long long offset) { return static_cast<char>('A' + offset % 23); }

  // The reply.
  long long length = 0;
  std::int64_t announced = -1;  // the Content-Length the reply announces; -1: none
  int status = 200;
  long long failAfter = -1;  // fail the read that starts at or after this offset
  long long stallAt = -1;    // from this offset on the server says nothing more, for ever
  bool replyStalls = false;  // the server never answers the request
  bool fillData = true;
  bool sessionOpens = true;
  bool urlOpens = true;
  std::string contentType = "application/octet-stream";
  bool jobStarts = true;                         // false: no thread can be started
  std::size_t readAhead = 0;                     // items the job may make before it waits
  long long arrival = 0;                         // bytes that arrive at a time; 0: all at once
  std::map<std::string, std::string> redirects;  // address -> where its reply points
  // What was asked.
  std::string agent, url;
  std::vector<std::uint32_t> asked;
  std::uint32_t openAccess = 99, openFlags = 99, urlFlags = 0, timeoutMs = 0;
  int open = 0, closes = 0, jobs = 0;
  long long served = 0;
  long long reads = 0;
  int callsOnWindowThread = 0;

 private:
  void Called() {
    if (std::this_thread::get_id() == windowThread_)
      ++callsOnWindowThread;
  }
  bool Stalled() {
    if (stallAt < 0 || served < stallAt)
      return false;
    job_->Block();
    return true;
  }
  std::thread::id windowThread_ = std::this_thread::get_id();
  LockStepJob* job_ = nullptr;
};

// A desktop of top-level windows in stacking order (front first), with a foreground window, and
// the controls inside them.
class FakeWindows : public Windows {
 public:
  struct Window {
    Handle handle;
    std::string title;
    std::uint32_t process;
  };
  enum class Kind { Field, Button, DefaultButton };
  struct Control {
    Handle parent;
    Kind kind;
    std::string text;
  };
  Handle AddControl(Handle parent, Kind kind, const std::string& text) {
    const Handle h = nextHandle++;
    controls[h] = {parent, kind, text};
    return h;
  }
  Control* ControlOf(Handle h) {
    auto it = controls.find(h);
    return it == controls.end() ? nullptr : &it->second;
  }
  // Opens a window of `process` on top of the others and gives it the foreground.
  Handle Open(const std::string& title, std::uint32_t process = 1) {
    const Handle h = nextHandle++;
    desktop.insert(desktop.begin(), {h, title, process});
    foreground = h;
    return h;
  }
  void Close(Handle h) {
    for (auto it = desktop.begin(); it != desktop.end(); ++it) {
      if (it->handle == h) {
        desktop.erase(it);
        break;
      }
    }
    if (foreground == h)
      foreground = desktop.empty() ? 0 : desktop.front().handle;
    for (auto it = controls.begin(); it != controls.end();)
      it = it->second.parent == h ? controls.erase(it) : std::next(it);
    focus.erase(h);
  }
  const Window* Find(Handle h) const {
    for (const Window& w : desktop)
      if (w.handle == h)
        return &w;
    return nullptr;
  }

  Handle First() override { return desktop.empty() ? 0 : desktop.front().handle; }
  Handle Next(Handle h) override {
    for (std::size_t i = 0; i + 1 < desktop.size(); ++i)
      if (desktop[i].handle == h)
        return desktop[i + 1].handle;
    return 0;
  }
  int TitleLength(Handle h) override {
    const Window* w = Find(h);
    return w ? static_cast<int>(w->title.size()) : 0;
  }
  int Title(Handle h, char* buffer, int size) override {
    const Window* w = Find(h);
    if (!w || size <= 0)
      return 0;
    const int n = std::min(static_cast<int>(w->title.size()), size - 1);
    std::memcpy(buffer, w->title.data(), static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n;
  }
  std::uint32_t ProcessOf(Handle h) override {
    const Window* w = Find(h);
    return w ? w->process : 0;
  }
  bool BringToFront(Handle h) override {
    fronted.push_back(h);
    if (!Find(h) || refuseFront.count(h))
      return false;
    foreground = h;
    return true;
  }
  Handle Foreground() override { return foreground; }
  std::vector<Handle> TextFields(Handle window) override {
    std::vector<Handle> fields;
    for (const auto& [h, c] : controls)
      if (c.parent == window && c.kind == Kind::Field)
        fields.push_back(h);
    return fields;
  }
  bool SetControlText(Handle control, const std::string& text) override {
    Control* c = ControlOf(control);
    if (!c || hung)
      return false;
    c->text = text;
    return true;
  }
  bool ControlText(Handle control, std::string* text) override {
    const Control* c = ControlOf(control);
    if (!c || hung)
      return false;
    *text = c->text;
    return true;
  }
  std::vector<Button> Buttons(Handle window) override {
    std::vector<Button> buttons;
    for (const auto& [h, c] : controls)
      if (c.parent == window && c.kind != Kind::Field)
        buttons.push_back({h, c.text});
    return buttons;
  }
  Handle DefaultButton(Handle window) override {
    for (const auto& [h, c] : controls)
      if (c.parent == window && c.kind == Kind::DefaultButton)
        return h;
    return 0;
  }
  // Posted: the window acts on the click at its next turn, through onClick.
  bool Click(Handle button) override {
    clicked.push_back(button);
    if (!ControlOf(button))
      return false;
    if (onClick)
      onClick(button);
    return true;
  }

  std::vector<Window> desktop;
  std::map<Handle, Control> controls;
  std::map<Handle, Handle> focus;  // window -> its focused control
  bool hung = false;               // its program answers no message
  std::vector<Handle> clicked;
  std::function<void(Handle)> onClick;
  Handle foreground = 0;
  Handle nextHandle = 0x100;
  std::set<Handle> refuseFront;  // windows that SetForegroundWindow cannot bring up
  std::vector<Handle> fronted;
};

// A clipboard of formats in the order they were put there; another program may hold it.
class FakeClipboard : public Clipboard {
 public:
  static constexpr std::uint32_t kText = 1;
  bool SetText(const std::string& t) override {
    if (held)
      return false;
    log.push_back("set " + t);
    formats = {{kText, t}};
    return true;
  }
  bool GetText(std::string* t) {
    for (const ClipboardFormat& f : formats) {
      if (f.id == kText && !held) {
        *t = f.data;
        return true;
      }
    }
    return false;
  }
  bool Take(std::vector<ClipboardFormat>* saved) override {
    if (held || unreadable)
      return false;
    log.push_back("take");
    *saved = std::move(formats);
    formats.clear();
    return true;
  }
  bool Restore(const std::vector<ClipboardFormat>& saved) override {
    if (held)
      return false;
    log.push_back("restore");
    formats = saved;
    return true;
  }
  std::string Text() {
    std::string t;
    return GetText(&t) ? t : "(no text)";
  }
  std::vector<ClipboardFormat> formats;
  bool held = false;        // another program has it open
  bool unreadable = false;  // it holds a format that cannot be copied
  std::vector<std::string> log;
};

// Keystrokes delivered to one window's thread.
class FakeKeyboard : public Keyboard {
 public:
  bool SendTo(Windows::Handle window, const std::string& keys) override {
    sent.push_back({keys, window});
    if (onSend)
      onSend(keys, window);
    return true;
  }
  struct Sent {
    std::string keys;
    Windows::Handle to;
  };
  std::vector<Sent> sent;
  std::function<void(const std::string&, Windows::Handle)> onSend;
};

// All doubles, wired into an Installer.
struct TestRig {
  FakeFormView view;
  Forms ui{view};
  FakeFileSystem files;
  FakeRegistry registry;
  FakeInternet internet;
  FakeMessageBoxes boxes;
  ScriptedEvents events;
  FakeProcesses processes;
  FakeScreen screen;
  FakeFolderBrowser browser;
  FakeWindows windows;
  FakeClipboard clipboard;
  FakeKeyboard keyboard;
  Platform os{files,  registry, internet, boxes,     events,  processes,
              screen, browser,  windows,  clipboard, keyboard};
  InstallerState state;
  Installer in{state, ui, os};
};

// A self-extractor on the fake desktop. Once the package is started its dialog opens, with its
// folder field focused and holding a folder of its own; the folder can be typed in or pasted
// (Ctrl+V), Unzip (Alt+U) unpacks the log file there and opens the completion window, whose OK
// (Enter) closes it, and Close (Alt+C) closes the dialog. With `offersControls` the buttons carry
// mnemonics and OK is the default button; otherwise only the keys work. Each behaviour can be
// switched off.
struct FakeSelfExtractor {
  using Kind = FakeWindows::Kind;
  explicit FakeSelfExtractor(TestRig& rig) : r(rig) {
    r.processes.onStart = [this] {
      if (opensDialog)
        r.events.At(r.events.now + dialogDelayMs, [this] { Open(); });
    };
    r.keyboard.onSend = [this](const std::string& keys, Windows::Handle to) { Key(keys, to); };
    r.windows.onClick = [this](Windows::Handle button) {
      r.events.At(r.events.now, [this, button] { Clicked(button); });
    };
  }
  void Open() {
    dialog = r.windows.Open(dialogTitle, FakeRunningProcess::kId);
    if (controlsDelayMs > 0)
      r.events.At(r.events.now + controlsDelayMs, [this] { AddControls(); });
    else
      AddControls();
  }
  // The folder goes where the first field says; with `secondField` another one has the focus.
  void AddControls() {
    field = r.windows.AddControl(dialog, Kind::Field, startFolder);
    r.windows.focus[dialog] = secondField ? r.windows.AddControl(dialog, Kind::Field, "") : field;
    r.windows.AddControl(dialog, Kind::Button, offersControls ? browseCaption : "Browse...");
    unzipButton = r.windows.AddControl(dialog, Kind::Button, offersControls ? "&Unzip" : "Unzip");
    closeButton = r.windows.AddControl(dialog, Kind::Button, offersControls ? "&Close" : "Close");
  }
  std::string Field() {
    std::string text;
    r.windows.ControlText(field, &text);
    return text;
  }
  void Unzip() {
    folder = Field();
    r.files.AddFile(folder + "\\" + logName);
    if (showsCompletion)
      r.events.At(r.events.now + finishDelayMs, [this] {
        message = r.windows.Open("WinZip Self-Extractor", FakeRunningProcess::kId);
        okButton = r.windows.AddControl(message,
                                        offersControls ? Kind::DefaultButton : Kind::Button, "OK");
      });
  }
  void Confirm() {
    if (!staysAfterEnter)
      r.windows.Close(message);
  }
  void CloseDialog() {
    if (!ignoresClose)
      r.windows.Close(dialog);
  }
  void Clicked(Windows::Handle button) {
    if (button == unzipButton)
      Unzip();
    else if (button == okButton)
      Confirm();
    else if (button == closeButton)
      CloseDialog();
  }
  void Key(const std::string& keys, Windows::Handle to) {
    std::string pasted;
    const FakeWindows::Control* focused = r.windows.ControlOf(r.windows.focus[dialog]);
    if (to == dialog && keys == "^(v)" && r.clipboard.GetText(&pasted) && focused &&
        focused->kind == Kind::Field)
      r.windows.SetControlText(r.windows.focus[dialog], pasted);
    else if (to == dialog && keys == "%(u)")
      Unzip();
    else if (to == message && message != 0 && keys == "\r")
      Confirm();
    else if (to == dialog && keys == "%(c)")
      CloseDialog();
  }

  TestRig& r;
  bool opensDialog = true;
  bool offersControls = true;
  bool showsCompletion = true;
  bool staysAfterEnter = false;
  bool ignoresClose = false;
  bool secondField = false;
  long controlsDelayMs = 0;  // the controls appear that long after the title
  long dialogDelayMs = 200;
  long finishDelayMs = 300;
  std::string dialogTitle = "WinZip Self-Extractor - CelvaraStudio_v3.9.exe";
  std::string startFolder = "C:\\Users\\me\\AppData\\Local\\Temp\\CelvaraStudio_v3.9";
  std::string logName = "CVInstall_v3.9.txt";
  std::string browseCaption = "Br&owse...";
  std::string folder;  // where the last unzip went
  Windows::Handle dialog = 0, field = 0, unzipButton = 0, closeButton = 0;
  Windows::Handle message = 0, okButton = 0;
};

}  // namespace cvi::test
