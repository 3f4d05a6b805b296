// Measures how quickly frmInstall answers while DownloadFile runs on the window's thread, for each
// way a package may arrive: nobody downloading (the baseline), the server at full speed, blocks
// that trickle, single bytes that drip, and a connection that falls silent. A second process plays
// the user: it sends WM_NULL to the window every 20 ms, times each answer, clicks CANCEL at the end
// of the mode and prints the figures.
//
//   responsive_bench --port N [--seconds 6]              one line per mode, then the worst p99
//   responsive_bench --ping HWND --seconds S --mode M     the user's side, started by the bench
#include "Driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/InstallerEvents.h"
#include "download/TransferLoop.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32PlatformSet.h"
#include "ui/win32/FormWindow.h"

namespace {

using namespace cvi;
using namespace cvi::win32;

constexpr DWORD kPingIntervalMs = 20;
// An answer that does not come within this counts as this long.
constexpr UINT kPingTimeoutMs = 10000;

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The user's side: pings for `seconds`, then clicks CANCEL and prints the answers' times.
int Ping(HWND form, int seconds, const std::string& mode) {
  std::vector<double> answers;
  const double end = Seconds() + seconds;
  double next = Seconds();
  while (Seconds() < end) {
    const double start = Seconds();
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeoutMs, &result) != 0;
    answers.push_back(answered ? (Seconds() - start) * 1000 : kPingTimeoutMs);
    next += kPingIntervalMs / 1000.0;
    const double wait = next - Seconds();
    if (wait > 0)
      Sleep(static_cast<DWORD>(wait * 1000));
  }
  e2e::Click(e2e::FindChild(form, Ctl::cmdCancel));
  std::sort(answers.begin(), answers.end());
  const std::size_t n = answers.size();
  std::printf("%-8s median %6.2f ms, 99th percentile %6.2f ms, slowest %7.2f ms (%zu pings)\n",
              mode.c_str(), answers[n / 2], answers[std::min(n - 1, n * 99 / 100)], answers[n - 1],
              n);
  std::fflush(stdout);
  return 0;
}

// The installer's window and the platform, as the program makes them.
class Installation {
 public:
  Installation() {
    view_.Attach(forms_);
    forms_.SetEvents(&handlers_);
    forms_.Show(Form::frmInstall);
    events_.WaitMilliseconds(200);
  }
  ~Installation() { forms_.SetEvents(nullptr); }
  HWND Window() const { return view_.WindowOf(Form::frmInstall); }

  // Downloads from `url` until the user's CANCEL; "" waits as the main loop does instead.
  void Run(const std::string& url, const std::string& path) {
    state_.CancelRequested = false;
    state_.InstallInProgress = true;
    if (url.empty()) {
      while (!state_.CancelRequested)
        events_.WaitMilliseconds(100);
      return;
    }
    while (!state_.CancelRequested) {
      Downloaded got;
      DownloadFile(in_, url, path, 1000, got);
      got.body.reset();
      DeleteFileA(PartialPathOf(path).c_str());
    }
  }

 private:
  InstallerState state_;
  Win32Screen screen_;
  Win32FormView view_{GetModuleHandleA(nullptr), screen_};
  Forms forms_{view_};
  Win32MessageBoxes boxes_{view_};
  Win32EventPump events_{&view_};
  Win32PlatformSet platform_{boxes_, &events_};
  Installer in_{state_, forms_, platform_.os};
  InstallerEvents handlers_{in_};
};

// Starts this program again as the user's side, writing to the same output.
bool StartPinger(HWND form, int seconds, const char* mode, PROCESS_INFORMATION* info) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string line = "\"" + std::string(self) + "\" --ping " +
                     std::to_string(reinterpret_cast<std::uintptr_t>(form)) + " --seconds " +
                     std::to_string(seconds) + " --mode " + mode;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  return CreateProcessA(self, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        info) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  int seconds = 6;
  std::uintptr_t pingWindow = 0;
  std::string mode;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--port")
      port = std::atoi(argv[i + 1]);
    else if (option == "--seconds")
      seconds = std::atoi(argv[i + 1]);
    else if (option == "--ping")
      pingWindow = std::strtoull(argv[i + 1], nullptr, 10);
    else if (option == "--mode")
      mode = argv[i + 1];
  }
  if (pingWindow != 0)
    return Ping(reinterpret_cast<HWND>(pingWindow), seconds, mode);
  if (port <= 0 || seconds <= 0) {
    std::fprintf(stderr, "usage: responsive_bench --port N [--seconds 6]\n");
    return 2;
  }

  const std::string server = "http://127.0.0.1:" + std::to_string(port) + "/";
  const struct {
    const char* name;
    std::string url;
  } modes[] = {
      {"idle", ""},
      // One endless reply: the deletion of a finished body (tens of milliseconds for 50 MB) is the
      // bench's own work, not the download's.
      {"full", server + "size/3000000000"},
      {"trickle", server + "trickle/4096/200/100000000"},
      {"drip", server + "trickle/1/200/100000000"},
      {"silent", server + "stall/600/2000000"},
  };
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "responsive_bench.bin";

  Installation installation;
  if (!installation.Window()) {
    std::fprintf(stderr, "responsive_bench: frmInstall could not be created (no display?)\n");
    return 1;
  }
  std::printf("frmInstall's answers to WM_NULL every %lu ms, %d s per mode\n", kPingIntervalMs,
              seconds);
  std::fflush(stdout);
  for (const auto& m : modes) {
    PROCESS_INFORMATION info{};
    if (!StartPinger(installation.Window(), seconds, m.name, &info)) {
      std::fprintf(stderr, "responsive_bench: the pinger could not be started\n");
      return 1;
    }
    KernelHandle process(info.hProcess);
    KernelHandle thread(info.hThread);
    installation.Run(m.url, path);
    WaitForSingleObject(process.Get(), INFINITE);
  }
  DeleteFileA(path.c_str());
  return 0;
}
