// Unpacks the full package with the installer's own automation, several times, and compares the
// wall time of each run with the sum of the pauses that the automation asked for on its way.
//
//   extract_bench PACKAGE [RUNS]
#include "platform/win32/Win32PlatformSet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "extract/SelfExtractor.h"

namespace {

using namespace cvi;

// The real pump, adding up the pauses it is asked for.
class CountingPump : public EventPump {
 public:
  void WaitMilliseconds(std::int32_t ms) override {
    asked += ms;
    real.WaitMilliseconds(ms);
  }
  void DoEvents() override { real.DoEvents(); }
  win32::Win32EventPump real;
  long asked = 0;
};

class SilentBoxes : public MessageBoxes {
 public:
  int Show(const std::string& text, const std::string&, std::uint32_t) override {
    std::printf("message: %s\n", text.c_str());
    return mb::kAnswerOk;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: extract_bench PACKAGE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string folder = "C:\\bench extract\\CelvaraStudio";
  const std::string package = folder + "\\CelvaraStudio_v3.9.exe";
  CreateDirectoryA("C:\\bench extract", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  if (!CopyFileA(argv[1], package.c_str(), FALSE)) {
    std::fprintf(stderr, "cannot copy %s\n", argv[1]);
    return 1;
  }

  InstallerState state;
  state.InstallPath = folder;
  NullFormView view;
  Forms forms(view);
  SilentBoxes boxes;
  CountingPump events;
  win32::Win32PlatformSet platform(boxes, &events);
  Installer in{state, forms, platform.os};

  std::vector<double> ratios;
  for (int run = 0; run < runs; ++run) {
    events.asked = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::int16_t result = RunSelfExtractor(in, package, folder);
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result != -1) {
      std::printf("run %d failed\n", run + 1);
      return 1;
    }
    ratios.push_back(wallMs / static_cast<double>(events.asked));
    std::printf("run %d: %.0f ms wall, %ld ms of pauses asked, ratio %.3f\n", run + 1, wallMs,
                events.asked, ratios.back());
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("extract ratio %.3f (median of %d)\n", ratios[ratios.size() / 2], runs);
  return 0;
}
