// Measures what the window costs a transfer: DownloadFile driving frmInstall (counter and event
// yield after every block, the network on a worker of its own) against a bare WinINet read loop
// with no window, on the same body.
//
//   transfer_bench --port N [--mb 100] [--pairs 5]   timing pairs, median ratio on the last line
//   transfer_bench --port N --memory window|bare --mb N   one transfer, then its peak memory
//   transfer_bench --port N --breakdown 1 [--mb N]   one transfer per variant, to see the costs
#include "platform/win32/Win32Platform.h"

#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/InstallerEvents.h"
#include "download/TransferLoop.h"
#include "platform/win32/Handles.h"
#include "ui/win32/FormWindow.h"

namespace {

using namespace cvi;
using namespace cvi::win32;

struct InternetTraits {
  using Type = HINTERNET;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The same transfer without the installer: reads of what has arrived, at most 4,096 bytes, as the
// installer's worker makes them, written straight to the file on the same thread.
bool BareTransfer(const std::string& url, const std::string& path) {
  InternetHandle session(
      InternetOpenA("TransferBench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session)
    return false;
  InternetHandle request(
      InternetOpenUrlA(session.Get(), url.c_str(), nullptr, 0,
                       INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request)
    return false;
  DeleteFileA(path.c_str());
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  char block[4096];
  for (;;) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request.Get(), &available, 0, 0))
      return false;
    const DWORD ask = available == 0 || available > sizeof block ? sizeof block : available;
    DWORD got = 0;
    if (!InternetReadFile(request.Get(), block, ask, &got))
      return false;
    if (got == 0)
      return true;
    DWORD written = 0;
    if (!WriteFile(file.Get(), block, got, &written, nullptr) || written != got)
      return false;
  }
}

// A view that draws nothing and a pump that dispatches nothing: what the transfer costs without
// the window, for the breakdown.
class NullPump : public EventPump {
 public:
  void WaitMilliseconds(std::int32_t) override {}
  void DoEvents() override {}
};

// The installer's own transfer, with frmInstall on screen; for the breakdown, without the window
// or without the event yield too.
class WindowTransfer {
 public:
  enum Variant { Full, PumpOnly, CoreOnly };
  explicit WindowTransfer(Variant variant = Full)
      : variant_(variant),
        forms_(variant == Full ? static_cast<FormView&>(view_) : nullView_),
        os_{files_,  registry_, internet_, boxes_,     Pump(variant), processes_,
            screen_, browser_,  windows_,  clipboard_, keyboard_} {
    view_.Attach(forms_);
    forms_.SetEvents(&handlers_);
    forms_.Show(Form::frmInstall);
    events_.WaitMilliseconds(200);
  }
  ~WindowTransfer() { forms_.SetEvents(nullptr); }
  // The transfer alone; the body is left under `path`. The digest check that the package request
  // then makes is timed on its own (Hash).
  bool Run(const std::string& url, const std::string& path) {
    state_.CancelRequested = false;
    Downloaded got;
    if (DownloadFile(in_, url, path, 1000, got) != DownloadResult::DownloadOk)
      return false;
    got.body.reset();
    DeleteFileA(path.c_str());
    return MoveFileA(PartialPathOf(path).c_str(), path.c_str()) != FALSE;
  }
  bool Hash(const std::string& path) {
    std::uint8_t digest[HeldFile::kSha256Size];
    std::unique_ptr<HeldFile> held = files_.HoldForReading(path);
    return held && held->Sha256(digest);
  }
  bool HasWindow() const { return variant_ != Full || view_.WindowOf(Form::frmInstall) != nullptr; }
  EventPump& Pump(Variant variant) {
    if (variant == CoreOnly)
      return nullPump_;
    return events_;
  }

 private:
  Variant variant_;
  InstallerState state_;
  Win32Screen screen_;
  Win32FormView view_{GetModuleHandleA(nullptr), screen_};
  NullFormView nullView_;
  Forms forms_;
  Win32FileSystem files_;
  Win32Registry registry_;
  Win32Internet internet_;
  Win32MessageBoxes boxes_{view_};
  Win32EventPump events_{&view_};
  NullPump nullPump_;
  Win32Processes processes_;
  Win32FolderBrowser browser_;
  Win32Windows windows_;
  Win32Clipboard clipboard_;
  Win32Keyboard keyboard_;
  Platform os_;
  Installer in_{state_, forms_, os_};
  InstallerEvents handlers_{in_};
};

std::string TempFile(const char* name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + name;
}

int Usage() {
  std::fprintf(stderr,
               "usage: transfer_bench --port N [--mb 100] [--pairs 5]\n"
               "       transfer_bench --port N --memory window|bare [--mb N]\n");
  return 2;
}

}  // namespace

std::string ServerUrlFor(int port, long long bytes) {
  return "http://127.0.0.1:" + std::to_string(port) + "/size/" + std::to_string(bytes);
}

int main(int argc, char** argv) {
  int port = 0;
  int mb = 100;
  int pairs = 5;
  std::string memoryMode;
  bool breakdown = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--port") {
      port = std::atoi(argv[i + 1]);
    } else if (option == "--mb") {
      mb = std::atoi(argv[i + 1]);
    } else if (option == "--pairs") {
      pairs = std::atoi(argv[i + 1]);
    } else if (option == "--breakdown") {
      breakdown = std::atoi(argv[i + 1]) != 0;
    } else if (option == "--memory") {
      memoryMode = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (port <= 0 || mb <= 0 || pairs <= 0)
    return Usage();
  const long long bytes = static_cast<long long>(mb) * 1000 * 1000;
  const std::string url = ServerUrlFor(port, bytes);
  const std::string windowPath = TempFile("transfer_bench_window.bin");
  const std::string barePath = TempFile("transfer_bench_bare.bin");

  if (!memoryMode.empty()) {
    bool ok = false;
    if (memoryMode == "window") {
      WindowTransfer transfer;
      ok = transfer.HasWindow() && transfer.Run(url, windowPath);
    } else if (memoryMode == "bare") {
      ok = BareTransfer(url, barePath);
    } else {
      return Usage();
    }
    const long long size = FileSize(memoryMode == "window" ? windowPath : barePath);
    DeleteFileA(windowPath.c_str());
    DeleteFileA(barePath.c_str());
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    std::printf("memory %s %d MB: peak working set %zu KB, peak pagefile %zu KB%s\n",
                memoryMode.c_str(), mb,
                static_cast<std::size_t>(counters.PeakWorkingSetSize / 1024),
                static_cast<std::size_t>(counters.PeakPagefileUsage / 1024),
                ok && size == bytes ? "" : " (TRANSFER FAILED)");
    return ok && size == bytes ? 0 : 1;
  }

  if (breakdown) {
    const struct {
      const char* name;
      WindowTransfer::Variant variant;
    } variants[] = {
        {"core only (no window, no yield)", WindowTransfer::CoreOnly},
        {"core + event yield, no window", WindowTransfer::PumpOnly},
        {"core + event yield + frmInstall", WindowTransfer::Full},
    };
    for (const auto& v : variants) {
      WindowTransfer transfer(v.variant);
      const double start = Seconds();
      const bool ok = transfer.Run(url, windowPath);
      const double elapsed = Seconds() - start;
      std::printf("breakdown: %-34s %.3f s%s\n", v.name, elapsed, ok ? "" : " (FAILED)");
    }
    const double start = Seconds();
    const bool ok = BareTransfer(url, barePath);
    std::printf("breakdown: %-34s %.3f s%s\n", "bare WinINet loop", Seconds() - start,
                ok ? "" : " (FAILED)");
    DeleteFileA(windowPath.c_str());
    DeleteFileA(barePath.c_str());
    return 0;
  }

  WindowTransfer window;
  if (!window.HasWindow()) {
    std::fprintf(stderr, "transfer_bench: frmInstall could not be created (no display?)\n");
    return 1;
  }
  std::vector<double> ratios;
  for (int pair = 0; pair < pairs; ++pair) {
    double windowSeconds = 0;
    double bareSeconds = 0;
    // Alternating which goes first evens out warm-up and cache effects.
    for (int turn = 0; turn < 2; ++turn) {
      const bool windowTurn = (turn == 0) == (pair % 2 == 0);
      const double start = Seconds();
      const bool ok = windowTurn ? window.Run(url, windowPath) : BareTransfer(url, barePath);
      const double elapsed = Seconds() - start;
      const std::string& path = windowTurn ? windowPath : barePath;
      if (!ok || FileSize(path) != bytes) {
        std::fprintf(stderr, "transfer_bench: %s transfer failed\n",
                     windowTurn ? "window" : "bare");
        return 1;
      }
      (windowTurn ? windowSeconds : bareSeconds) = elapsed;
    }
    ratios.push_back(windowSeconds / bareSeconds);
    std::printf("pair %d: window %.3f s (%.1f MB/s), bare %.3f s (%.1f MB/s), ratio %.3f\n",
                pair + 1, windowSeconds, mb / windowSeconds, bareSeconds, mb / bareSeconds,
                ratios.back());
    std::fflush(stdout);
  }
  // What the digest costs on its own: the package's size and the benchmark's.
  const double hashStart = Seconds();
  const bool hashed = window.Hash(windowPath);
  const double hashBig = Seconds() - hashStart;
  const bool smallOk = BareTransfer(ServerUrlFor(port, 2500000), barePath);
  const double smallStart = Seconds();
  const bool smallHashed = smallOk && window.Hash(barePath);
  const double hashSmall = Seconds() - smallStart;
  if (hashed && smallHashed) {
    std::printf("sha256 of 2.5 MB: %.1f ms; of %d MB: %.1f ms (%.0f MB/s)\n", hashSmall * 1000, mb,
                hashBig * 1000, mb / hashBig);
  }
  DeleteFileA(windowPath.c_str());
  DeleteFileA(barePath.c_str());
  std::sort(ratios.begin(), ratios.end());
  const std::size_t n = ratios.size();
  const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
  std::printf("transfer ratio %.3f\n", median);
  return 0;
}
