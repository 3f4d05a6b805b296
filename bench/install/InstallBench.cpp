// Full installations with the real installer, from the INSTALL click to the completion window,
// against the pauses that the code prescribes on that path.
//
//   install_bench [RUNS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Driver.h"

namespace {

using namespace cvi;
using namespace cvi::e2e;

// The main loop's wait in which INSTALL is clicked, and the self-extractor automation's fixed
// pauses on its successful path: clipboard 100 + 100, paste 50 + 50, unzip 50, then 100 + 100
// before Enter and 200 + 100 + 100 around the close.
constexpr double kPrescribedMs = 100 + (100 + 100 + 50 + 50 + 50 + 100 + 100 + 200 + 100 + 100);
constexpr const char* kFolder = "C:\\Bench Install";

// One installation; its time in milliseconds, or a negative number when it failed.
double InstallOnce() {
  DeleteTree(kFolder);
  CreateFolders(kFolder);
  InstallerRun run;
  if (!run.Start())
    return -1;
  SetWindowTextA(run[Ctl::txtInstallPath], kFolder);
  Sleep(300);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  Click(run[Ctl::cmdInstall]);
  HWND done = nullptr;
  WaitUntil(
      [&] {
        done = FindWindowByTitle(kLaunchWindowTitle, run.Id());
        return done && Visible(done);
      },
      60000);
  QueryPerformanceCounter(&end);
  if (!done)
    return -1;
  Close(done);
  run.process().WaitForExit(5000);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  DeleteSysEnvVar("CelvaraStudio");
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = InstallOnce();
    if (ms < 0) {
      std::printf("run %d: the installation did not complete\n", i + 1);
      return 1;
    }
    std::printf("run %d: %.0f ms\n", i + 1, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("median %.0f ms over %d runs; prescribed pauses %.0f ms; ratio %.2f\n", median, runs,
              kPrescribedMs, median / kPrescribedMs);
  return 0;
}
