// Whole installations with the real installer, the vendor server stand-in and the real packages:
// one scenario for each way a user can go through INSTALL, CANCEL and the completion windows.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"
#include "E2ePaths.h"
#include "ExpectedTexts.h"
#include "SlowInstaller.h"

namespace cvi::e2e {
namespace {

constexpr const char* kProductWindowTitle = "CelvaraStudio v3.9";
constexpr const char* kExtractorTitle = "WinZip Self-Extractor";
constexpr DWORD kInstallTimeoutMs = 60000;

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The self-extractor's windows: its dialog ("WinZip Self-Extractor - ...") and its messages.
std::vector<HWND> ExtractorWindows() {
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows())
    if (Visible(window) && WindowText(window).rfind(kExtractorTitle, 0) == 0)
      found.push_back(window);
  return found;
}

class Install : public testing::Test {
 protected:
  void SetUp() override {
    DeleteSysEnvVar("CelvaraStudio");
    // A folder with a space, under the name that an unquoted command line would cut short.
    folder_ = std::string("C:\\Program Files\\CVI E2E\\") +
              testing::UnitTest::GetInstance()->current_test_info()->name();
    product_ = folder_ + "\\CelvaraStudio";
    DeleteTree(folder_);
    ASSERT_TRUE(CreateFolders(folder_));
    DeleteFileA("C:\\decoy-ran.txt");
    ASSERT_TRUE(CopyFileA(DecoyProgramExe().c_str(), "C:\\Program.exe", FALSE));
  }
  void TearDown() override {
    if (HWND product = FindWindowByTitle(kProductWindowTitle))
      Close(product);
    process_.Kill();
    for (HWND window : ExtractorWindows())
      Close(window);
    SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", nullptr);
    KillProcessesNamed("CelvaraStudio_");
    // The next installation would take a window that outlives its process for one left open.
    WaitUntil([] { return ExtractorWindows().empty(); }, 5000);
  }

  bool Start(bool slow = false) {
    return StartExe(slow ? ToWindowsPath(CVI_E2E_SLOW_INSTALLER_EXE) : InstallerExe());
  }
  bool StartExe(const std::string& exe) {
    if (!process_.Start("\"" + exe + "\""))
      return false;
    form_ = WaitForWindow(kInstallWindowTitle, process_.Id(), 15000);
    return form_ != nullptr;
  }
  HWND Control(Ctl ctl) { return FindChild(form_, ctl); }
  std::string Text(Ctl ctl) { return WindowText(Control(ctl)); }
  void ClickInstall(const std::string& typed) {
    SetWindowTextA(Control(Ctl::txtInstallPath), typed.c_str());
    Click(Control(Ctl::cmdInstall));
  }
  bool Downloading() {
    return WaitUntil([&] { return Text(Ctl::lblBytesDownloaded) > "0"; }, 20000);
  }
  // Where the completion window does not come, the failure names the installer's message.
  HWND WaitForCompletion() {
    HWND done = WaitForWindow(kLaunchWindowTitle, process_.Id(), kInstallTimeoutMs);
    if (HWND box = done ? nullptr : FindMessageBox(kMessageTitle, process_.Id()))
      ADD_FAILURE() << "the installer says: " << MessageBoxText(box);
    return done;
  }
  bool Ends(DWORD timeoutMs = 5000) { return process_.WaitForExit(timeoutMs); }
  bool Installed(const char* log = "CVInstall_v3.9.txt") {
    return FileExists(product_ + "\\CelvaraStudio.exe") && FileExists(product_ + "\\" + log);
  }
  // A full installation by the installer `exe`, ended by closing the completion window.
  void InstallThenClose(const std::string& exe) {
    ASSERT_TRUE(StartExe(exe));
    ClickInstall(folder_);
    HWND done = WaitForCompletion();
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(Installed());
    Close(done);
    ASSERT_TRUE(Ends());
  }
  std::string Launched() { return ReadWholeFile(product_ + "\\launched.txt"); }
  std::string Package() const { return product_ + "\\CelvaraStudio_v3.9.exe"; }
  std::string Exe() const { return product_ + "\\CelvaraStudio.exe"; }
  std::string Partial() const { return Package() + ".partial"; }
  // What the window answers a message of the session's end; 99 when it does not answer.
  LRESULT SessionMessage(UINT message, WPARAM wParam) {
    DWORD_PTR answer = 99;
    if (!SendMessageTimeoutA(form_, message, wParam, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                             &answer))
      return 99;
    return static_cast<LRESULT>(answer);
  }
  // With the program already in the folder, INSTALL asks whether to upgrade (No) and then whether
  // to re-install over it (OK).
  void AnswerReinstall() {
    HWND box = WaitForMessageBox(kMessageTitle, process_.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), expected::kBox1);
    AnswerMessageBox(box, IDNO);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    box = WaitForMessageBox(kMessageTitle, process_.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), expected::kBox2);
    AnswerMessageBox(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  }
  // The product started from the folder, with the folder in quotes as its one argument.
  void ExpectProductStarted() {
    HWND product = WaitForWindow(kProductWindowTitle, 0, 10000);
    EXPECT_NE(product, nullptr);
    const std::string launched = Launched();
    EXPECT_NE(launched.find("arg1=" + product_ + "\r\n"), std::string::npos) << launched;
    EXPECT_NE(launched.find(" \"" + product_ + "\""), std::string::npos) << launched;
    EXPECT_FALSE(FileExists("C:\\decoy-ran.txt"));
  }

  std::string folder_, product_;
  Process process_;
  HWND form_ = nullptr;
};

// Another program takes the foreground every 10 ms during the whole installation, and the user's
// clipboard holds text and a format of another program's own: the installation completes, that
// program receives no key, and the clipboard is as it was. Both windows can be seen whole, also
// at the display scalings of the "-dpiN" rig groups (Install.e2e.cmake).
TEST_F(Install, FullInstallationThenFinish) {
  const std::string keys = "C:\\rival-keys.txt";
  DeleteFileA(keys.c_str());
  Process rival;
  ASSERT_TRUE(rival.Start("\"" + RivalProgramExe() + "\" take-foreground " + keys));
  HWND notepad = WaitForWindow("Rival - Notepad", rival.Id());
  ASSERT_NE(notepad, nullptr);
  ASSERT_TRUE(SetUsersClipboard("C:\\UserData"));
  ASSERT_TRUE(Start());
  EXPECT_EQ(PartsOffScreen(form_), "");
  ClickInstall(folder_);
  HWND done = WaitForCompletion();
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(PartsOffScreen(done), "");
  EXPECT_EQ(WindowText(FindChild(done, Ctl::lblVersion)),
            "Installation Completed for version: v3.9");
  EXPECT_EQ(FindWindowByTitle(kInstallWindowTitle, process_.Id()), nullptr);
  EXPECT_TRUE(Installed());
  EXPECT_TRUE(FolderExists(product_ + "\\Charts\\Single"));
  EXPECT_TRUE(FolderExists(product_ + "\\Ephem"));
  EXPECT_EQ(ReadWholeFile(keys), "");
  EXPECT_EQ(WindowText(FindWindowExA(notepad, nullptr, "Edit", nullptr)), "");
  EXPECT_TRUE(HoldsUsersClipboard("C:\\UserData"));
  Click(FindChild(done, Ctl::cmdFinish));
  ASSERT_TRUE(Ends());
  ExpectProductStarted();
}

// The vendor's site over https, its certificate from an authority that the machine trusts.
TEST_F(Install, FullInstallationOverHttps) {
  ASSERT_TRUE(TrustTestAuthority());
  InstallThenClose(ToWindowsPath(CVI_E2E_HTTPS_INSTALLER_EXE));
}

// Names of DLLs that are not known DLLs: Windows looks for them in a program's own folder first.
constexpr const char* kPlantedDllNames[] = {
    "uxtheme", "version", "dwmapi",   "wininet", "bcrypt",  "cryptbase", "userenv",
    "propsys", "winmm",   "iertutil", "urlmon",  "profapi", "oleacc"};

// DLLs planted under those names beside the installer (in a downloads folder) and in the
// installation folder, where the package runs, with Wine told to prefer them there as Windows does
// (through the registry, which reaches every program started meanwhile): a plain program
// there loads one, and a whole installation, the package's run included, loads none.
TEST_F(Install, FullInstallationLoadsNoPlantedDll) {
  const std::string downloads = folder_ + "\\Downloads";
  for (const std::string& folder : {downloads, product_})
    ASSERT_TRUE(CreateFolders(folder));
  for (const char* name : kPlantedDllNames) {
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", name, REG_SZ,
                    "native,builtin", 15);
    for (const std::string& folder : {downloads, product_}) {
      ASSERT_TRUE(CopyFileA(ToWindowsPath(CVI_E2E_PLANTED_DLL).c_str(),
                            (folder + "\\" + name + ".dll").c_str(), FALSE));
    }
  }
  const std::string installer = downloads + "\\CVInstall.exe";
  const std::string plain = downloads + "\\RivalProgram.exe";
  ASSERT_TRUE(CopyFileA(InstallerExe().c_str(), installer.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(RivalProgramExe().c_str(), plain.c_str(), FALSE));
  EXPECT_EQ(RunAndWait("\"" + plain + "\" load-library uxtheme.dll"), 0);
  EXPECT_TRUE(DeleteFileA((downloads + "\\uxtheme.dll.loaded").c_str())) << "planting unseen";

  // Not Finish: the product is a program of its own, which these files would break.
  InstallThenClose(installer);
  ASSERT_FALSE(HasFatalFailure());
  // Except that Wine's own user32 imports version.dll, and Wine, which has no known DLLs, looks
  // for it beside every program as it starts; on Windows, what a known DLL imports comes from the
  // system folder.
  for (const std::string& folder : {downloads, product_}) {
    for (const std::string name : kPlantedDllNames) {
      const std::string planted = folder + "\\" + name + ".dll";
      EXPECT_FALSE(FileExists(planted + ".loaded")) << planted;
      EXPECT_TRUE(name == "version" || !FileExists(planted + ".loaded-at-start")) << planted;
    }
  }
  for (const char* name : kPlantedDllNames)
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", name);
}

TEST_F(Install, UpgradeFromTheMachineVariableExitThenLaunch) {
  ASSERT_TRUE(CreateFolders(product_));
  ASSERT_TRUE(WriteWholeFile(product_ + "\\CelvaraStudio.exe", "MZ"));
  ASSERT_TRUE(SetSysEnvVar("CelvaraStudio", product_));
  for (Ctl button : {Ctl::cmdExit, Ctl::cmdLaunch}) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(Text(Ctl::cmdInstall), "UPGRADE");
    Click(Control(Ctl::cmdInstall));
    HWND done = WaitForCompletion();
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(WindowText(FindChild(done, Ctl::lblVersion)), "Upgrade Completed for version: v3.9");
    EXPECT_TRUE(Installed("CVUpgrade_v3.9.txt"));
    Click(FindChild(done, button));
    ASSERT_TRUE(Ends());
    if (button == Ctl::cmdExit) {
      EXPECT_TRUE(Launched().empty());
    }
  }
  ExpectProductStarted();
  DeleteSysEnvVar("CelvaraStudio");
}

TEST_F(Install, ReinstallOverAnInstallationThroughTheTwoQuestions) {
  ASSERT_TRUE(CreateFolders(product_));
  ASSERT_TRUE(WriteWholeFile(product_ + "\\CelvaraStudio.exe", "MZ"));
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  AnswerReinstall();
  HWND done = WaitForCompletion();
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(WindowText(FindChild(done, Ctl::lblVersion)),
            "Installation Completed for version: v3.9");
  EXPECT_TRUE(Installed());
  Close(done);
  ASSERT_TRUE(Ends());
  EXPECT_TRUE(Launched().empty());
}

TEST_F(Install, CancelDuringADownload) {
  ASSERT_TRUE(Start(true));
  ClickInstall(folder_);
  ASSERT_TRUE(Downloading());
  EXPECT_FALSE(Enabled(Control(Ctl::cmdInstall)));
  EXPECT_FALSE(Enabled(Control(Ctl::txtInstallPath)));
  EXPECT_EQ(PartsOffScreen(form_), "");
  Click(Control(Ctl::cmdCancel));
  ASSERT_TRUE(Ends(8000));
  EXPECT_FALSE(FileExists(Package()));
  EXPECT_FALSE(FileExists(Partial()));
  EXPECT_EQ(FindWindowByTitle(kLaunchWindowTitle), nullptr);
}

// A run that ends in the middle of a download leaves no file of the package's name. When the
// session ends, the running attempt first asks it to wait (the system then shows why), and once
// told that it ends anyway it takes its temporary file away before the system ends it. A killed
// installer leaves its temporary file, which the next attempt replaces.
TEST_F(Install, SessionEndOrKillDuringADownload) {
  ASSERT_TRUE(Start(true));
  EXPECT_EQ(SessionMessage(WM_QUERYENDSESSION, 0), TRUE) << "nothing to protect yet";
  ClickInstall(folder_);
  ASSERT_TRUE(Downloading());
  EXPECT_TRUE(FileExists(Partial()));
  EXPECT_EQ(SessionMessage(WM_QUERYENDSESSION, 0), FALSE);
  EXPECT_EQ(SessionMessage(WM_ENDSESSION, TRUE), 0);
  process_.Kill();
  EXPECT_FALSE(FileExists(Partial()));
  EXPECT_FALSE(FileExists(Package()));

  ASSERT_TRUE(Start(true));
  ClickInstall(folder_);
  ASSERT_TRUE(Downloading());
  process_.Kill();
  EXPECT_FALSE(FileExists(Package()));
  EXPECT_TRUE(FileExists(Partial()));

  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  ASSERT_NE(WaitForCompletion(), nullptr);
  EXPECT_TRUE(Installed());
  EXPECT_FALSE(FileExists(Partial()));
}

// Replies that are not the package's length: one that announces 3,000,000,000 bytes is refused
// before anything is written, one with no length that runs on is stopped at the package's size;
// either way with the verification message and nothing left. The network side may still be busy
// with the rest (under Wine, closing a request first reads what it announced), yet CANCEL ends the
// run within three seconds.
TEST_F(Install, RepliesOfAnotherLengthStopAtOnce) {
  const std::size_t size =
      ReadWholeFile(ToWindowsPath(CVI_E2E_PACKAGES_DIR) + "\\CelvaraStudio_v3.9.exe").size();
  for (const char* exe : {CVI_E2E_HUGE_INSTALLER_EXE, CVI_E2E_ENDLESS_INSTALLER_EXE}) {
    SCOPED_TRACE(exe);
    ASSERT_TRUE(StartExe(ToWindowsPath(exe)));
    ClickInstall(folder_);
    ASSERT_TRUE(WaitUntil([&] { return Visible(Control(Ctl::lblDownLoadError)); }, 30000));
    EXPECT_EQ(Text(Ctl::lblDownLoadError).rfind("Download verification error.", 0), 0u)
        << Text(Ctl::lblDownLoadError);
    EXPECT_LE(std::stoull(Text(Ctl::lblBytesDownloaded)), size);
    EXPECT_FALSE(FileExists(Package()) || FileExists(Partial()));
    Click(Control(Ctl::cmdCancel));
    EXPECT_TRUE(Ends(3000));
  }
}

TEST_F(Install, CancelDuringExtractionLetsItFinish) {
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  ASSERT_TRUE(WaitUntil([] { return !ExtractorWindows().empty(); }, 30000));
  Click(Control(Ctl::cmdCancel));
  ASSERT_TRUE(Ends(kInstallTimeoutMs));
  EXPECT_TRUE(Installed());
  EXPECT_TRUE(ExtractorWindows().empty());
  EXPECT_EQ(FindWindowByTitle(kLaunchWindowTitle), nullptr);
}

TEST_F(Install, ClosingTheWindowDuringADownloadIsRefused) {
  ASSERT_TRUE(Start(true));
  ClickInstall(folder_);
  ASSERT_TRUE(Downloading());
  Close(form_);
  HWND box = WaitForMessageBox(kMessageTitle, process_.Id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), expected::kUnloadGuard);
  AnswerMessageBox(box, IDOK);
  HWND done = WaitForCompletion();
  ASSERT_NE(done, nullptr);
  EXPECT_TRUE(Installed());
  Close(done);
  ASSERT_TRUE(Ends());
}

// A folder where the package belongs makes the download fail; removed, INSTALL works again.
TEST_F(Install, FailedDownloadThenAnotherAttempt) {
  ASSERT_TRUE(CreateFolders(product_ + "\\CelvaraStudio_v3.9.exe"));
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  ASSERT_TRUE(WaitUntil([&] { return Visible(Control(Ctl::lblDownLoadError)); }, 20000));
  EXPECT_EQ(Text(Ctl::lblDownLoadError).rfind("Download I/O error.", 0), 0u);
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(Ctl::cmdInstall)); }));
  ASSERT_TRUE(DeleteTree(product_ + "\\CelvaraStudio_v3.9.exe"));
  Click(Control(Ctl::cmdInstall));
  ASSERT_NE(WaitForCompletion(), nullptr);
  EXPECT_TRUE(Installed());
}

// A folder where the log file belongs makes the unpacking fail. The log file is the package's last
// entry, so everything else has arrived: once the user has dismissed the self-extractor and
// removed the folder, INSTALL finds the program there and re-installs over it.
TEST_F(Install, FailedExtractionThenAnotherAttempt) {
  ASSERT_TRUE(CreateFolders(product_ + "\\CVInstall_v3.9.txt"));
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  HWND box = WaitForMessageBox(kMessageTitle, process_.Id(), kInstallTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), expected::kUnzipNoLog);
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return Text(Ctl::lblInProcess) == "FAILED"; }));
  for (HWND window : ExtractorWindows()) {
    if (ClassName(window) == "#32770" && FindChildById(window, IDOK) && !FindChildById(window, 105))
      AnswerMessageBox(window, IDOK);
  }
  Sleep(300);
  for (HWND window : ExtractorWindows())
    Close(window);
  ASSERT_TRUE(WaitUntil([] { return ExtractorWindows().empty(); }));
  Sleep(500);
  EXPECT_TRUE(FileExists(product_ + "\\CelvaraStudio.exe"));
  ASSERT_TRUE(DeleteTree(product_ + "\\CVInstall_v3.9.txt"));
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(Ctl::cmdInstall)); }));
  Click(Control(Ctl::cmdInstall));
  AnswerReinstall();
  ASSERT_NE(WaitForCompletion(), nullptr);
  EXPECT_TRUE(Installed());
}

// Self-extractors that misbehave, while another program takes the foreground every 10 ms. Another
// program's box of the completion window's title is passed over and left alone; controls that
// appear after the title are still used; a dialog with a second text field is not driven and
// nothing is unpacked anywhere; a file that cannot be written fails a re-install, and the earlier
// program and log file are as they were.
TEST_F(Install, SelfExtractorsThatMisbehave) {
  struct Row {
    const char* mode;
    bool reinstall, completes, foreignBoxLeft;
  } rows[] = {
      {"foreign-box", false, true, true},
      {"late-controls:1500", false, true, false},
      {"two-fields", false, false, false},
      {"unwritable:CelvaraStudio.exe", true, false, false},
  };
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string proposedLog = std::string(temp) + "CelvaraStudio_v3.9\\CVInstall_v3.9.txt";
  Process rival;
  ASSERT_TRUE(rival.Start("\"" + RivalProgramExe() + "\" take-foreground C:\\rival-keys.txt"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    if (row.reinstall) {
      ASSERT_TRUE(CreateFolders(product_));
      ASSERT_TRUE(WriteWholeFile(Exe(), "MZ earlier"));
      ASSERT_TRUE(WriteWholeFile(product_ + "\\CVInstall_v3.9.txt", "earlier log"));
    }
    SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", row.mode);
    ASSERT_TRUE(Start());
    ClickInstall(folder_);
    if (row.reinstall)
      AnswerReinstall();
    if (row.completes) {
      ASSERT_NE(WaitForCompletion(), nullptr);
      EXPECT_TRUE(Installed());
    } else {
      HWND box = WaitForMessageBox(kMessageTitle, process_.Id(), kInstallTimeoutMs);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(MessageBoxText(box), expected::kUnzipNoLog);
      AnswerMessageBox(box, IDOK);
      ASSERT_TRUE(WaitUntil([&] { return Text(Ctl::lblInProcess) == "FAILED"; }));
      EXPECT_EQ(ReadWholeFile(Exe()), row.reinstall ? "MZ earlier" : "");
      EXPECT_EQ(ReadWholeFile(product_ + "\\CVInstall_v3.9.txt"),
                row.reinstall ? "earlier log" : "");
      EXPECT_FALSE(FileExists(proposedLog));
    }
    if (row.completes) {
      EXPECT_EQ(FindWindowByTitle(kExtractorTitle) != nullptr, row.foreignBoxLeft);
    }
    TearDown();
    SetUp();
  }
}

// A self-extractor that dies in the middle of its unzip is reported at once, not 50 s later.
TEST_F(Install, SelfExtractorKilledDuringItsUnzip) {
  SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", "slow-unzip:30000");
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  // The dialog is found while it still answers; once its unzip has begun it answers nothing.
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::vector<HWND> found = ExtractorWindows();
        return (dialog = found.empty() ? nullptr : found[0]) != nullptr;
      },
      30000));
  ASSERT_TRUE(WaitUntil([&] { return !Enabled(FindChildById(dialog, 105)); }, 10000));
  DWORD stub = 0;
  GetWindowThreadProcessId(dialog, &stub);
  win32::KernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, stub));
  ASSERT_TRUE(TerminateProcess(process.Get(), 3));
  HWND box = WaitForMessageBox(kMessageTitle, process_.Id(), 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            expected::kUnzipNoFinish + Package() + expected::kUnzipEnded + "3).");
}

// A re-install over a CelvaraStudio that runs (its program held open without write or delete
// sharing, as a running program is) asks the user to close it; nothing is downloaded or changed.
TEST_F(Install, ReinstallWhileCelvaraStudioRuns) {
  ASSERT_TRUE(CreateFolders(product_));
  ASSERT_TRUE(WriteWholeFile(Exe(), "MZ earlier"));
  win32::FileHandle running(CreateFileA(Exe().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(running);
  ASSERT_TRUE(Start());
  ClickInstall(folder_);
  AnswerReinstall();
  HWND box = WaitForMessageBox(kMessageTitle, process_.Id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), expected::kProductInUse + Exe() + expected::kProductInUseEnd);
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(Ctl::cmdInstall)); }));
  EXPECT_EQ(Text(Ctl::lblBytesDownloaded), "0");
  EXPECT_FALSE(FileExists(Package()) || FileExists(Partial()));
  running.Reset();
  EXPECT_EQ(ReadWholeFile(Exe()), "MZ earlier");
}

// Typed folders refused before anything is downloaded: one whose product folder has no room for
// the package's deepest file with the self-extractor's temporary names, and one whose characters
// the code page lacks, which the path box keeps as typed.
TEST_F(Install, TypedFoldersRefusedBeforeTheDownload) {
  const std::string longFolder = folder_ + "\\" + std::string(192 - folder_.size(), 'L');
  ASSERT_TRUE(CreateFolders(longFolder));
  ASSERT_TRUE(Start());
  ClickInstall(longFolder);
  ASSERT_TRUE(WaitUntil([&] { return Visible(Control(Ctl::lblPathError)); }));
  EXPECT_EQ(Text(Ctl::lblPathError),
            "Invalid installation Path, too long: the installation folder can have at most 206 "
            "characters, this one has 207.");
  const wchar_t* typed = L"C:\\\u0166est";
  SetWindowTextW(Control(Ctl::txtInstallPath), typed);
  Click(Control(Ctl::cmdInstall));
  EXPECT_TRUE(WaitUntil([&] {
    return Text(Ctl::lblPathError).rfind("Invalid installation Path: Windows cannot write", 0) == 0;
  })) << Text(Ctl::lblPathError);
  wchar_t shown[16] = {};
  SendMessageW(Control(Ctl::txtInstallPath), WM_GETTEXT, 16, reinterpret_cast<LPARAM>(shown));
  EXPECT_EQ(std::wstring(shown), typed);
  EXPECT_EQ(Text(Ctl::lblBytesDownloaded), "0");
}

}  // namespace
}  // namespace cvi::e2e
