// Measures the time from starting CVInstall.exe to its window being visible, several runs, against
// the same time of a minimal program that shows one window and, when given, of the floor program
// (StartupFloor.cpp) and of an earlier build of CVInstall.exe, in turns.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
  return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Starts the program and returns the seconds until a window titled `title` is visible, or -1.
double OneRun(const std::string& program, const char* title) {
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
    HWND w = FindWindowA(nullptr, title);
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

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: StartupTime <CVInstall.exe> <runs> <StartupBaseline.exe> "
                 "[StartupFloor.exe [earlier CVInstall.exe]]\n");
    return 2;
  }
  struct Program {
    const char* name;
    const char* path;
    const char* title;
    std::vector<double> times;
  };
  std::vector<Program> programs{{"CVInstall", argv[1], "CelvaraStudio Installation", {}},
                                {"baseline", argv[3], "Startup Baseline", {}}};
  if (argc > 4)
    programs.push_back({"floor", argv[4], "Startup Floor", {}});
  if (argc > 5)
    programs.push_back({"before", argv[5], "CelvaraStudio Installation", {}});
  const int runs = std::atoi(argv[2]);
  for (int i = 0; i < runs; ++i) {
    // Taking turns, the first of each round rotating, evens out warm-up and cache effects.
    for (std::size_t turn = 0; turn < programs.size(); ++turn) {
      Program& program = programs[(turn + i) % programs.size()];
      const double t = OneRun(program.path, program.title);
      std::printf("run %d %s: %.1f ms\n", i + 1, program.name, t * 1000);
      if (t >= 0)
        program.times.push_back(t);
    }
  }
  for (const Program& program : programs) {
    if (program.times.empty())
      return 1;
  }
  const double median = Median(programs[0].times);
  const double baselineMedian = Median(programs[1].times);
  std::printf("baseline median %.1f ms over %zu runs\n", baselineMedian * 1000,
              programs[1].times.size());
  if (programs.size() > 2) {
    const double floorMedian = Median(programs[2].times);
    std::printf("floor median %.1f ms over %zu runs\n", floorMedian * 1000,
                programs[2].times.size());
    std::printf("floor ratio %.2f\n", floorMedian / baselineMedian);
  }
  if (programs.size() > 3) {
    const double beforeMedian = Median(programs[3].times);
    std::printf("before median %.1f ms over %zu runs\n", beforeMedian * 1000,
                programs[3].times.size());
    std::printf("before ratio %.2f, against the floor %.2f\n", beforeMedian / baselineMedian,
                beforeMedian / Median(programs[2].times));
  }
  std::printf("startup median %.1f ms over %zu runs\n", median * 1000, programs[0].times.size());
  std::printf("startup ratio %.2f", median / baselineMedian);
  if (programs.size() > 2)
    std::printf(", against the floor %.2f", median / Median(programs[2].times));
  std::printf("\n");
  return 0;
}
