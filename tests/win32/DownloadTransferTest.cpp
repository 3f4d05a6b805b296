// Downloads through the real WinINet, file system and frmInstall window, from the vendor server
// stand-in on the loopback interface.
#include "Driver.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "ExpectedTexts.h"
#include "app/InstallerEvents.h"
#include "download/PackageRequest.h"
#include "download/TransferLoop.h"
#include "ui/win32/FormWindow.h"

namespace cvi::win32 {
namespace {

// A port on which nothing listens.
constexpr int kRefusedPort = 47809;
// The time limits shortened for the tests that wait for a silent server: long enough for loopback.
constexpr std::int32_t kShortLimitMs = 1500;

std::string ServerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(e2e::VendorPort()) + "/" + path;
}

// The stand-in's https servers, with a trusted and an untrusted certificate for "localhost".
std::string TlsUrl(const std::string& path, bool trusted = true, const char* host = "localhost") {
  return "https://" + std::string(host) + ":" +
         std::to_string(e2e::VendorPort() + (trusted ? 1 : 2)) + "/" + path;
}

// The stand-in's proxy, or the one that asks for a password, as the system's settings name it.
std::string ProxyServer(bool asksPassword = false) {
  return "127.0.0.1:" + std::to_string(e2e::VendorPort() + (asksPassword ? 4 : 3));
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
    ASSERT_TRUE(e2e::TrustTestAuthority()) << "the vendor server stand-in names no authority";
    path_ = folder_ + "\\CelvaraStudio_v3.9.exe";
    partial_ = PartialPathOf(path_);
    state_.InstallPath = folder_;
  }
  void TearDown() override {
    forms_.SetEvents(nullptr);
    got_.body.reset();
    state_.HeldPackage.reset();
    DeleteFileA(partial_.c_str());
    DeleteFileA(path_.c_str());
    DeleteFileA((folder_ + "\\CelvaraStudio_Upgrade_v3.9.exe").c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // What arrives stays under the temporary name; the hold on it is let go here, for the test to
  // read it.
  DownloadResult Fetch(const std::string& url, const TransferLimits& limits = TransferLimits()) {
    const DownloadResult result = DownloadFile(in_, url, path_, 1000, got_, limits);
    got_.body.reset();
    return result;
  }

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
  std::string folder_, path_, partial_;
  Downloaded got_;
};

TEST_F(DownloadTransfer, WholeBodyArrivesByteForByte) {
  WriteFile(path_, std::string(3000000, 'x'));
  ASSERT_EQ(Fetch(ServerUrl("size/2500000")), DownloadResult::DownloadOk);
  EXPECT_TRUE(ReadFile(partial_) == Generated(2500000)) << "the file differs from the body";
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(forms_.Caption(Form::frmInstall, Ctl::lblBytesDownloaded), "2500000");
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "2500000");
}

// Each row finds an earlier file at the path: a reply that is not retrieved leaves it untouched;
// any other takes it away, and only a whole body is left, under the temporary name.
TEST_F(DownloadTransfer, BodiesAndRedirects) {
  struct Row {
    const char* path;
    DownloadResult code;
    std::size_t length;  // of the body that the counter (and a kept file) hold
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
    DeleteFileA(partial_.c_str());
    EXPECT_EQ(Fetch(ServerUrl(row.path)), row.code);
    EXPECT_EQ(FileExists(path_), row.untouched);
    if (row.untouched) {
      EXPECT_EQ(ReadFile(path_), "earlier");
    }
    const bool kept = row.code == DownloadResult::DownloadOk;
    ASSERT_EQ(FileExists(partial_), kept);
    if (kept) {
      EXPECT_TRUE(ReadFile(partial_) == Generated(row.length));
    }
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
  EXPECT_FALSE(FileExists(partial_)) << "a failed download leaves nothing behind";
  EXPECT_FALSE(FileExists(path_));
}

// A server that falls silent after part of the body, one that takes the request and never
// answers, and an address whose connection is never accepted: the installer's own limits end
// each (shortened here), and a CANCEL ends each at once, with the usual limits, showing its
// notice. Wine ignores WinINet's receive time-out, so without both the window would wait for
// ever. Nothing is left behind under either name.
struct WaitRow {
  const char* name;
  const char* path;  // "" for the never-accepting port
  bool shortened;
  bool cancel;
  DownloadResult code;
  bool untouched;  // the earlier file at the path: the address never answered
};

class WaitingForTheServer : public DownloadTransfer, public testing::WithParamInterface<WaitRow> {};

TEST_P(WaitingForTheServer, EndsOnTime) {
  const WaitRow& row = GetParam();
  const std::string port = *row.path != '\0' ? "" : e2e::FetchText(ServerUrl("blackhole"));
  const std::string url = port.empty() ? ServerUrl(row.path) : "http://127.0.0.1:" + port + "/x";
  ASSERT_EQ(port.empty(), *row.path != '\0') << "the server names no never-accepting port";
  TransferLimits limits;
  if (row.shortened)
    limits.replyMs = limits.silenceMs = kShortLimitMs;
  constexpr DWORD kClickAfterMs = 600;
  HWND cancel = ControlWindow(form_, Ctl::cmdCancel);
  state_.InstallInProgress = true;
  std::thread user([&] {
    if (!row.cancel)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(kClickAfterMs));
    PostMessageA(cancel, BM_CLICK, 0, 0);
  });
  WriteFile(path_, "earlier");
  const auto start = std::chrono::steady_clock::now();
  const DownloadResult result = Fetch(url, limits);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  user.join();

  EXPECT_EQ(result, row.code);
  // A CANCEL ends the wait within a second of the click, then shows its notice for two.
  const double least = row.cancel ? kClickAfterMs / 1000.0 + 2.0 : kShortLimitMs / 1000.0;
  EXPECT_GE(seconds, least);
  EXPECT_LT(seconds, least + 1.0);
  EXPECT_FALSE(FileExists(partial_));
  EXPECT_EQ(FileExists(path_), row.untouched);
  if (row.cancel) {
    EXPECT_EQ(WindowText(ControlWindow(form_, Ctl::lblDownLoadError)),
              "Installation CANCELED. DownLoad Terminated.");
  }
}

INSTANTIATE_TEST_SUITE_P(DownloadTransfer,
                         WaitingForTheServer,
                         testing::Values(WaitRow{"SilenceIsAReadError", "stall/3600/2000000", true,
                                                 false, DownloadResult::DownloadReadError, false},
                                         WaitRow{"NoAnswerIsNotRetrieved", "noanswer/3600/x", true,
                                                 false, DownloadResult::DownloadNotRetrieved, true},
                                         WaitRow{"NoConnectionIsNotRetrieved", "", true, false,
                                                 DownloadResult::DownloadNotRetrieved, true},
                                         WaitRow{"CancelDuringSilence", "stall/3600/2000000", false,
                                                 true, DownloadResult::DownloadCancelled, false},
                                         WaitRow{"CancelDuringNoAnswer", "noanswer/3600/x", false,
                                                 true, DownloadResult::DownloadCancelled, true},
                                         WaitRow{"CancelDuringAConnect", "", false, true,
                                                 DownloadResult::DownloadCancelled, true}),
                         [](const testing::TestParamInfo<WaitRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(DownloadTransfer, FolderThatIsNotThereIsAnIoError) {
  const std::string path = folder_ + "\\missing\\CelvaraStudio_v3.9.exe";
  EXPECT_EQ(DownloadFile(in_, ServerUrl("size/5000"), path, 1000, got_),
            DownloadResult::DownloadIoError);
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
  EXPECT_FALSE(FileExists(partial_));
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
  // Held under its name until it runs: nobody may delete it, and a program that reads itself, as
  // a self-extractor does, may open it without letting it be deleted.
  EXPECT_FALSE(FileExists(partial_));
  EXPECT_FALSE(DeleteFileA(path_.c_str()));
  FileHandle reader(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(reader);
}

// Whatever arrives instead of the package it was built for is refused and removed: one byte
// changed, a chunked reply cut off before its last chunk, and web pages sent as a success, which
// are named as such: a network's sign-in page announced as a web page or only starting like one.
TEST_F(DownloadTransfer, OnlyThePinnedPackageIsKept) {
  using expected::kSignInPage;
  using expected::kVerification;
  const std::pair<const char*, std::string> rows[] = {{"flip/", kVerification},
                                                      {"chunkedcut/", kVerification},
                                                      {"page200/", kVerification + kSignInPage},
                                                      {"signin/", kVerification + kSignInPage},
                                                      {"signinbare/", kVerification + kSignInPage}};
  for (const auto& [prefix, message] : rows) {
    SCOPED_TRACE(prefix);
    EXPECT_FALSE(DownloadPackageFrom(in_, ServerUrl(prefix), false));
    EXPECT_EQ(Shown(Ctl::lblDownLoadError), message);
    EXPECT_FALSE(FileExists(path_));
    EXPECT_FALSE(FileExists(partial_));
    EXPECT_EQ(state_.HeldPackage, nullptr);
  }
  EXPECT_TRUE(DownloadPackageFrom(in_, ServerUrl("chunked/"), false));
  EXPECT_NE(state_.HeldPackage, nullptr);
  EXPECT_FALSE(FileExists(partial_));
}

// A file of the package's name that another program holds open, or runs (a self-extractor left
// from an earlier attempt), is named in the message; once it is let go, the package arrives.
TEST_F(DownloadTransfer, PackageNameHeldByAnotherProgram) {
  TransferLimits limits;
  limits.inUseMs = kShortLimitMs;
  for (bool running : {false, true}) {
    SCOPED_TRACE(running ? "a program runs from it" : "a program has it open");
    ASSERT_TRUE(CopyFileA(e2e::SampleProductExe().c_str(), path_.c_str(), FALSE));
    e2e::Process program;
    FileHandle reader;
    if (running) {
      ASSERT_TRUE(program.Start("\"" + path_ + "\""));
      ASSERT_NE(e2e::WaitForWindow("CelvaraStudio v3.9", program.Id(), 10000), nullptr);
    } else {
      reader.Reset(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr));
      ASSERT_TRUE(reader);
    }
    EXPECT_FALSE(DownloadPackageFrom(in_, ServerUrl("packages/"), false, limits));
    EXPECT_EQ(Shown(Ctl::lblDownLoadError).rfind(expected::kIoCaption, 0), 0u);
    EXPECT_EQ(Shown(Ctl::lblDownLoadError), FileInUseMessage(path_));
    EXPECT_FALSE(FileExists(partial_));
    program.Kill();
    reader.Reset();
    ASSERT_TRUE(e2e::WaitUntil([&] { return DeleteFileA(path_.c_str()) != FALSE; }));
  }
  EXPECT_TRUE(DownloadPackageFrom(in_, ServerUrl("packages/"), false, limits));
}

// A reply that announces more than the drive has free is refused before anything is written; a
// package request refuses it sooner still, since it is not the package's length.
TEST_F(DownloadTransfer, NoRoomForTheAnnouncedLength) {
  EXPECT_EQ(Fetch(ServerUrl("size/1000000000000000/x")), DownloadResult::DownloadIoError);
  EXPECT_EQ(got_.problem, IoProblem::NoRoom);
  EXPECT_EQ(got_.announced, 1000000000000000);
  EXPECT_FALSE(FileExists(partial_));
  EXPECT_EQ(Shown(Ctl::lblBytesDownloaded), "0");
}

// The package through the proxy that the system's settings name, for http (a forwarded request)
// and https (a tunnel), and the proxy has seen both; then over https straight, and after the site's
// http address sent the installer there. The proxy comes first: WinINet keeps a connection to a
// server for the process, and a tunnel is only asked for on a new one.
TEST_F(DownloadTransfer, HttpsAndTheSystemProxy) {
  const std::string tlsPort = std::to_string(e2e::VendorPort() + 1);
  {
    e2e::SystemProxy proxy(ProxyServer());
    const std::string plain =
        "http://127.0.0.2:" + std::to_string(e2e::VendorPort()) + "/packages/";
    EXPECT_TRUE(DownloadPackageFrom(in_, plain, false));
    state_.HeldPackage.reset();
    EXPECT_TRUE(DownloadPackageFrom(in_, TlsUrl("packages/"), false));
    state_.HeldPackage.reset();
    const std::string seen = e2e::FetchText("http://" + ProxyServer() + "/seen");
    EXPECT_NE(seen.find("GET " + plain + "CelvaraStudio_v3.9.exe\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("CONNECT localhost:" + tlsPort + "\n"), std::string::npos) << seen;
  }
  EXPECT_TRUE(DownloadPackageFrom(in_, TlsUrl("packages/"), false));
  state_.HeldPackage.reset();
  EXPECT_TRUE(DownloadPackageFrom(in_, ServerUrl("tohttps/" + tlsPort + "/packages/"), false));
}

// A download that cannot be made says why after the URL message, and leaves nothing behind.
TEST_F(DownloadTransfer, FailuresSayWhy) {
  struct Row {
    const char* name;
    std::string baseUrl;
    std::string proxy;  // the system's proxy server; "" for none
    const char* cause;
  } rows[] = {
      {"UntrustedCertificate", TlsUrl("packages/", false), "",
       "The server's security certificate is not trusted by this computer, so the connection was "
       "refused."},
      {"CertificateOfAnotherName", TlsUrl("packages/", true, "127.0.0.1"), "",
       "The server's security certificate is made out to another address, so the connection was "
       "refused."},
      {"ConnectionRefused", "http://127.0.0.1:" + std::to_string(kRefusedPort) + "/", "",
       "The server refused the connection, or could not be reached."},
      {"ProxyAsksForAPassword", "http://127.0.0.2:" + std::to_string(e2e::VendorPort()) + "/",
       ProxyServer(true),
       "The proxy server of your network asks for a user name and password, which Windows could "
       "not give it; please ask your network administrator."},
      {"ProxyNotReached", "http://127.0.0.2:" + std::to_string(e2e::VendorPort()) + "/",
       "127.0.0.1:" + std::to_string(kRefusedPort),
       "The proxy server set in Windows' internet settings cannot be reached."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<e2e::SystemProxy> proxy;
    if (!row.proxy.empty())
      proxy = std::make_unique<e2e::SystemProxy>(row.proxy);
    WriteFile(path_, "earlier");
    EXPECT_FALSE(DownloadPackageFrom(in_, row.baseUrl, false));
    const std::string url = row.baseUrl + "CelvaraStudio_v3.9.exe";
    EXPECT_EQ(Shown(Ctl::lblDownLoadError),
              DownloadFailureMessage(DownloadResult::DownloadNotRetrieved, url) + "\r" + row.cause);
    EXPECT_FALSE(FileExists(partial_));
    EXPECT_EQ(ReadFile(path_), "earlier");
  }
}

}  // namespace
}  // namespace cvi::win32
