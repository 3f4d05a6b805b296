// A program built as CVInstall.exe is, whose runtime fails as its command line asks: "memory"
// asks for more memory than there is, "string" for a string longer than the library allows.
#include <windows.h>

#include <string>

#include "platform/win32/LeanRuntime.h"

const char cvi::win32::kRuntimeFailureTitle[] = "Lean runtime probe";
const char cvi::win32::kRuntimeFailureText[] = "The probe stopped: ";

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  const std::string mode = commandLine;
  if (mode == "memory") {
    // Sized and kept where the compiler cannot see them, so that the request is made.
    static volatile std::size_t huge = static_cast<std::size_t>(-1) / 2;
    static char* volatile kept;
    kept = new char[huge];
  }
  std::string text;
  if (mode == "string")
    text.reserve(text.max_size() + 1);
  return 0;
}
