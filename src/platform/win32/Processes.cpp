// Starting programs and naming the running one.
#include <memory>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// The system's own sentence for an error code, without its line end; a "%1" in it names the
// program.
std::string SystemReason(DWORD code, const std::string& program) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason(text != nullptr ? text : "", text != nullptr ? length : 0);
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
    reason.pop_back();
  for (std::size_t at = reason.find("%1"); at != std::string::npos;
       at = reason.find("%1", at + program.size())) {
    reason.replace(at, 2, program);
  }
  return reason;
}

// One start, on whichever thread makes it; it owns copies of all it needs.
struct StartRequest {
  Win32Processes::CreateProcessFunction create;
  std::string program;
  std::vector<char> line;  // CreateProcessA may write into the command line
  STARTUPINFOA startup{};
  PROCESS_INFORMATION info{};
  DWORD error = 0;
  bool started = false;

  void Run() {
    startup.cb = sizeof(startup);
    started = create(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info) != FALSE;
    if (!started)
      error = GetLastError();
  }
  static DWORD WINAPI RunOnThread(void* request) {
    static_cast<StartRequest*>(request)->Run();
    return 0;
  }
};

StartRequest MakeRequest(Win32Processes::CreateProcessFunction create,
                         const std::string& program,
                         const std::string& commandLine,
                         int showStyle) {
  StartRequest request{create, program, std::vector<char>(commandLine.begin(), commandLine.end())};
  request.line.push_back('\0');
  request.startup.dwFlags = STARTF_USESHOWWINDOW;
  request.startup.wShowWindow = static_cast<WORD>(showStyle);
  return request;
}

bool Report(const StartRequest& request, Processes::StartError* error) {
  if (!request.started && error != nullptr)
    *error = Processes::StartError{request.error, SystemReason(request.error, request.program)};
  return request.started;
}

class Win32RunningProcess : public RunningProcess {
 public:
  Win32RunningProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
  std::uint32_t Id() override { return id_; }
  bool Ended(std::uint32_t* exitCode) override {
    DWORD code = 0;
    if (WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.Get(), &code))
      return false;
    *exitCode = code;
    return true;
  }

 private:
  KernelHandle process_;
  DWORD id_;
};

}  // namespace

bool Win32Processes::Start(const std::string& program,
                           const std::string& commandLine,
                           int showStyle,
                           StartError* error) {
  StartRequest request = MakeRequest(create_, program, commandLine, showStyle);
  request.Run();
  KernelHandle process(request.info.hProcess);
  KernelHandle thread(request.info.hThread);
  return Report(request, error);
}

// The window's thread waits for the start in the message wait, so that every window event is
// handled while it lasts. The request lives until the thread has ended; without a thread the
// start is made here.
std::unique_ptr<RunningProcess> Win32Processes::Launch(const std::string& program,
                                                       const std::string& commandLine,
                                                       int showStyle,
                                                       EventPump& events,
                                                       StartError* error) {
  StartRequest request = MakeRequest(create_, program, commandLine, showStyle);
  KernelHandle worker(CreateThread(nullptr, 0, &StartRequest::RunOnThread, &request, 0, nullptr));
  if (!worker) {
    request.Run();
  } else {
    HANDLE handle = worker.Get();
    for (;;) {
      const DWORD woken = MsgWaitWithTouch(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken == WAIT_OBJECT_0)
        break;
      if (woken == WAIT_FAILED)
        Sleep(10);
      events.DoEventsNow();
    }
  }
  KernelHandle thread(request.info.hThread);
  if (!Report(request, error))
    return nullptr;
  return std::make_unique<Win32RunningProcess>(request.info.hProcess, request.info.dwProcessId);
}

std::string Win32Processes::ExecutableName() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return "";
  std::string name(path, length);
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos)
    name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos)
    name.erase(dot);
  return name;
}

}  // namespace cvi::win32
