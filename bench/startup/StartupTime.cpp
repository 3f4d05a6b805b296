// Measures the time from starting CVInstall.exe to its window being visible, several runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
  return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Starts the program and returns the seconds until "CelvaraStudio Installation" is visible, or -1.
double OneRun(const std::string& program) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + program + "\"";
  LARGE_INTEGER f, start, now;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return -1;
  }
  double result = -1;
  for (;;) {
    HWND w = FindWindowA(nullptr, "CelvaraStudio Installation");
    QueryPerformanceCounter(&now);
    if (w && IsWindowVisible(w)) {
      result = Seconds(start, now, f);
      PostMessageA(w, WM_CLOSE, 0, 0);
      break;
    }
    if (Seconds(start, now, f) > 30)
      break;
    Sleep(1);
  }
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: StartupTime <CVInstall.exe> [runs]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    double t = OneRun(argv[1]);
    std::printf("run %d: %.1f ms\n", i + 1, t * 1000);
    if (t >= 0)
      times.push_back(t);
  }
  if (times.empty())
    return 1;
  std::sort(times.begin(), times.end());
  std::printf("startup median %.1f ms over %zu runs\n", times[times.size() / 2] * 1000,
              times.size());
  return 0;
}
