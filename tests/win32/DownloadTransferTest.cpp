// Downloads through the real WinINet, file system and frmInstall window, from the vendor server
// stand-in on the loopback interface.
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "app/InstallerEvents.h"
#include "download/PackageRequest.h"
#include "download/TransferLoop.h"
#include "ui/win32/FormWindow.h"

namespace cvi::win32 {
namespace {

// A port on which nothing listens.
constexpr int kRefusedPort = 47809;
// Short enough that a stalled transfer ends within the test's time, long enough for loopback.
constexpr std::uint32_t kStallTimeoutMs = 3000;

int ServerPort() {
  const char* port = std::getenv("CVI_VENDOR_PORT");
  return port != nullptr && *port != '\0' ? std::atoi(port) : 47801;
}

std::string ServerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(ServerPort()) + "/" + path;
}

// The server's generated body: byte i is i % 251.
std::string Generated(std::size_t length) {
  std::string body(length, '\0');
  for (std::size_t i = 0; i < length; ++i)
    body[i] = static_cast<char>(i % 251);
  return body;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ControlSearch*>(data);
  if (GetDlgCtrlID(child) != search->id)
    return TRUE;
  search->found = child;
  return FALSE;
}

// Controls may sit inside a frame, so the search goes through every descendant.
HWND ControlWindow(HWND form, Ctl ctl) {
  ControlSearch search{static_cast<int>(ctl), nullptr};
  EnumChildWindows(form, MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND hwnd) {
  char text[512] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

class DownloadTransfer : public testing::Test {
 protected:
  void SetUp() override {
    view_.Attach(forms_);
    forms_.SetEvents(&handlers_);
    forms_.Show(Form::frmInstall);
    form_ = view_.WindowOf(Form::frmInstall);
    ASSERT_NE(form_, nullptr) << "no window: is DISPLAY set?";

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    // A parameterised test's name holds a "/", which no folder name may.
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    folder_ =
        std::string(temp) + "cvi-download-" + std::to_string(GetCurrentProcessId()) + "-" + name;
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\CelvaraStudio_v3.9.exe";
    state_.InstallPath = folder_;
  }
  void TearDown() override {
    forms_.SetEvents(nullptr);
    DeleteFileA(path_.c_str());
    DeleteFileA((folder_ + "\\CelvaraStudio_Upgrade_v3.9.exe").c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  DownloadResult Fetch(const std::string& url) { return DownloadFile(in_, url, path_, 1000); }

  // What the window shows once pending caption changes have been drawn.
  std::string Shown(Ctl ctl) {
    events_.WaitMilliseconds(100);
    return WindowText(ControlWindow(form_, ctl));
  }

  InstallerState state_;
  Win32Screen screen_;
  Win32FormView view_{GetModuleHandleA(nullptr), screen_};
  Forms forms_{view_};
  Win32FileSystem files_;
  Win32Registry registry_;
  Win32Internet internet_;
  Win32MessageBoxes boxes_{view_};
  Win32EventPump events_{&view_};
  Win32Processes processes_;
  Win32FolderBrowser browser_;
  Win32Windows windows_;
  Win32Clipboard clipboard_;
  Win32Keyboard keyboard_;
  Platform os_{files_,  registry_, internet_, boxes_,     events_,  processes_,
               screen_, browser_,  windows_,  clipboard_, keyboard_};
  Installer in_{state_, forms_, os_};
  InstallerEvents handlers_{in_};
  HWND form_ = nullptr;
  std::string folder_, path_;
};

TEST_F(DownloadTransfer, WholeBodyArrivesByteForByte) {
  WriteFile(path_, std::string(3000000, 'x'));
  ASSERT_EQ(Fetch(ServerUrl("size/2500000")), DownloadResult::DownloadOk);
  EXPECT_TRUE(ReadFile(path_) == Generated(2500000)) << "the file differs from the body";
  EXPECT_EQ(forms_.Caption(Form::frmInstall, Ctl::lblBytesDownloaded), "2500000");
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "2500000");
}

// Each row finds an earlier file at the path: a reply that is not retrieved leaves it untouched.
TEST_F(DownloadTransfer, BodiesAndRedirects) {
  struct Row {
    const char* path;
    DownloadResult code;
    std::size_t length;  // of the body that the file and the counter hold
    bool untouched;
  } rows[] = {
      {"short/999/5000", DownloadResult::DownloadNotRetrieved, 999, false},
      {"exact1000/5000", DownloadResult::DownloadOk, 1000, false},
      {"empty/5000", DownloadResult::DownloadNotRetrieved, 0, false},
      {"chunked/300000", DownloadResult::DownloadOk, 300000, false},
      {"redirect/5/300000", DownloadResult::DownloadOk, 300000, false},
      {"redirect/6/300000", DownloadResult::DownloadNotRetrieved, 0, true},
      {"redirectloop/300000", DownloadResult::DownloadNotRetrieved, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    WriteFile(path_, "earlier");
    EXPECT_EQ(Fetch(ServerUrl(row.path)), row.code);
    ASSERT_TRUE(FileExists(path_));
    EXPECT_TRUE(ReadFile(path_) == (row.untouched ? "earlier" : Generated(row.length)));
    EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), std::to_string(row.length));
  }
}

TEST_F(DownloadTransfer, RefusedConnectionIsNotRetrieved) {
  WriteFile(path_, "earlier");
  const std::string url = "http://127.0.0.1:" + std::to_string(kRefusedPort) + "/packages/x.exe";
  EXPECT_EQ(Fetch(url), DownloadResult::DownloadNotRetrieved);
  EXPECT_EQ(ReadFile(path_), "earlier");
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "0");
}

TEST_F(DownloadTransfer, ServerErrorPageIsNotWritten) {
  WriteFile(path_, "earlier");
  EXPECT_EQ(Fetch(ServerUrl("error404big/CelvaraStudio_v3.9.exe")),
            DownloadResult::DownloadNotRetrieved);
  EXPECT_EQ(ReadFile(path_), "earlier");
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "0");
}

TEST_F(DownloadTransfer, ResetMidBodyIsAReadError) {
  EXPECT_EQ(Fetch(ServerUrl("reset/2000000")), DownloadResult::DownloadReadError);
  EXPECT_TRUE(FileExists(path_));
  EXPECT_LE(ReadFile(path_).size(), 1000000u);
}

// On Windows the receive time-out ends the read. Wine does not apply it to requests opened with
// InternetOpenUrlA, so there the read waits until the server gives up and closes the connection;
// the body then falls short of its announced length. Either way the transfer is a read failure.
TEST_F(DownloadTransfer, StalledServerEndsAsAReadError) {
  Win32Internet impatient(kStallTimeoutMs);
  Platform os{files_,  registry_, impatient, boxes_,     events_,  processes_,
              screen_, browser_,  windows_,  clipboard_, keyboard_};
  Installer in{state_, forms_, os};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DownloadFile(in, ServerUrl("stall/6/2000000"), path_, 1000),
            DownloadResult::DownloadReadError);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 12.0);
  RecordProperty("ended_by", seconds < 5.0 ? "receive time-out" : "server close");
  EXPECT_EQ(ReadFile(path_).size(), 1000000u);
}

TEST_F(DownloadTransfer, FolderThatIsNotThereIsAnIoError) {
  const std::string path = folder_ + "\\missing\\CelvaraStudio_v3.9.exe";
  EXPECT_EQ(DownloadFile(in_, ServerUrl("size/5000"), path, 1000), DownloadResult::DownloadIoError);
  EXPECT_FALSE(FileExists(path));
}

// Blocks that arrive slowly, and bytes that trickle in one at a time: either way the CANCEL is
// acted on within a piece's arrival.
class SlowTransfer : public DownloadTransfer, public testing::WithParamInterface<const char*> {};

TEST_P(SlowTransfer, Cancel) {
  HWND cancel = ControlWindow(form_, Ctl::cmdCancel);
  ASSERT_NE(cancel, nullptr);
  state_.InstallInProgress = true;
  std::thread user([cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    PostMessageA(cancel, BM_CLICK, 0, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  const DownloadResult result = Fetch(ServerUrl(GetParam()));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  user.join();

  EXPECT_EQ(result, DownloadResult::DownloadCancelled);
  EXPECT_TRUE(state_.CancelRequested);
  EXPECT_GE(seconds.count(), 2.0) << "the notice shows for two seconds";
  EXPECT_LT(seconds.count(), 6.0);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "0");

  HWND notice = ControlWindow(form_, Ctl::lblDownLoadError);
  EXPECT_EQ(WindowText(notice), "Installation CANCELED. DownLoad Terminated.");
  EXPECT_TRUE(IsWindowVisible(notice));
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(notice, WM_GETFONT, 0, 0)), sizeof font, &font);
  WindowDC dc(form_);
  EXPECT_EQ(font.lfHeight, -MulDiv(18, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72));
}

INSTANTIATE_TEST_SUITE_P(DownloadTransfer,
                         SlowTransfer,
                         testing::Values("trickle/4096/20/2000000", "trickle/1/50/3000"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "SlowBlocks" : "TricklingBytes");
                         });

TEST_F(DownloadTransfer, FullPackageFromThePackagesFolder) {
  const std::string base = kDownloadBaseUrl;
  if (base != ServerUrl("packages/"))
    GTEST_SKIP() << "built for " << base;
  EXPECT_TRUE(DownloadFullPackage(in_));
  EXPECT_EQ(state_.FullPackageName, "CelvaraStudio_v3.9.exe");
  EXPECT_GT(ReadFile(path_).size(), 1000u);
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), std::to_string(ReadFile(path_).size()));
  EXPECT_FALSE(IsWindowVisible(ControlWindow(form_, Ctl::lblDownLoadError)));
  EXPECT_EQ(screen_.MousePointer(), Screen::kDefault);
}

// Whatever arrives instead of the package it was built for is refused and removed: one byte
// changed, a chunked reply cut off before its last chunk, an error page sent as a success.
TEST_F(DownloadTransfer, OnlyThePinnedPackageIsKept) {
  const std::string verification =
      std::string(
          "Download verification error.  The downloaded installation file is not the one "
          "this installer expects; it may have been damaged or altered on the way. Please "
          "try again; if it still fails, please contact ") +
      kSupportEmail + " and inform him of this 'Verification Error' message.";
  for (const char* prefix : {"flip/", "chunkedcut/", "page200/"}) {
    SCOPED_TRACE(prefix);
    EXPECT_FALSE(DownloadPackageFrom(in_, ServerUrl(prefix), false));
    EXPECT_EQ(Shown(Ctl::lblDownLoadError), verification);
    EXPECT_FALSE(FileExists(path_));
    EXPECT_EQ(state_.HeldPackage, nullptr);
  }
  EXPECT_TRUE(DownloadPackageFrom(in_, ServerUrl("chunked/"), false));
  EXPECT_NE(state_.HeldPackage, nullptr);
}

}  // namespace
}  // namespace cvi::win32
