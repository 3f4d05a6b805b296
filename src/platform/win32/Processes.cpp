// Starting programs and naming the running one.
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

}  // namespace

bool Win32Processes::Start(const std::string& program,
                           const std::string& commandLine,
                           int showStyle,
                           StartError* error) {
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showStyle);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    const DWORD code = GetLastError();
    if (error != nullptr)
      *error = StartError{code, SystemReason(code, program)};
    return false;
  }
  KernelHandle process(info.hProcess);
  KernelHandle thread(info.hThread);
  return true;
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
