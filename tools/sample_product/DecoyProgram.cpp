// A program placed where an unquoted command line would be misread (C:\Program.exe): it must never
// run, and leaves a marker next to itself when it does.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  char path[MAX_PATH] = {};
  std::string marker(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  marker = marker.substr(0, marker.find_last_of('\\') + 1) + "decoy-ran.txt";
  std::FILE* file = std::fopen(marker.c_str(), "ab");
  if (file == nullptr) {
    return 1;
  }
  std::fprintf(file, "cmdline=%s\r\n", GetCommandLineA());
  std::fclose(file);
  return 0;
}
