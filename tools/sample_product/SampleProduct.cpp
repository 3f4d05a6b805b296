// Stand-in for the installed CelvaraStudio.exe: records how it was started, then exits.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The folder of this program, ending in a backslash.
std::string OwnFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  const std::size_t slash = folder.find_last_of('\\');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

// One record per start, appended, so that a test sees a second start as well as the first:
// "cmdline=<raw command line>" and "arg1=<first argument>", each on its own line.
int main(int argc, char** argv) {
  const std::string log = OwnFolder() + "launched.txt";
  std::FILE* file = std::fopen(log.c_str(), "ab");
  if (file == nullptr) {
    return 1;
  }
  std::fprintf(file, "cmdline=%s\r\narg1=%s\r\n", GetCommandLineA(), argc > 1 ? argv[1] : "");
  std::fclose(file);
  return 0;
}
