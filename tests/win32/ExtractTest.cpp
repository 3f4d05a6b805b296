// The window search and the self-extractor automation against real windows and the real packages.
#include "Driver.h"
#include "platform/win32/Win32PlatformSet.h"

#include <gtest/gtest.h>

#include "E2ePaths.h"
#include "ExpectedTexts.h"
#include "extract/SelfExtractor.h"
#include "extract/WindowSearch.h"

namespace cvi {
namespace {

// ---- The window search

class SearchWindows : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CviSearchTest";
    RegisterClassA(&wc);
  }
  void TearDown() override {
    for (HWND w : made_)
      DestroyWindow(w);
  }
  HWND Make(const char* title, bool visible) {
    HWND w = CreateWindowExA(0, "CviSearchTest", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (visible)
      ShowWindow(w, SW_SHOWNOACTIVATE);
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    made_.push_back(w);
    return w;
  }
  static Windows::Handle H(HWND w) { return reinterpret_cast<Windows::Handle>(w); }
  win32::Win32Windows windows_;
  std::vector<HWND> made_;
};

TEST_F(SearchWindows, FindsTheHighestMatchVisibleOrNot) {
  HWND hidden = Make("CviSearch hidden: WinZip Self-Extractor - h.exe", false);
  HWND lower = Make("CviSearch lower: WinZip Self-Extractor - y.exe", true);
  HWND upper = Make("CviSearch upper: WinZip Self-Extractor - x.exe", true);
  struct Case {
    const char* part;
    HWND expected;
  };
  const Case cases[] = {
      {"CviSearch", upper},   {"Extractor - y.exe", lower},  {"hidden: WinZip", hidden},
      {"cvisearch", nullptr}, {"CviSearch  upper", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    Windows::Handle found = 0xBEEF;
    EXPECT_EQ(FindWindowByTitle(windows_, found, c.part), H(c.expected));
    EXPECT_EQ(found, c.expected ? H(c.expected) : 0xBEEF);
  }
  // An empty part matches the first window examined, whatever it is.
  Windows::Handle found = 0;
  EXPECT_EQ(FindWindowByTitle(windows_, found, ""), H(FindWindowA(nullptr, nullptr)));
  // Raising the lower window makes it the first match.
  SetWindowPos(lower, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(FindWindowByTitle(windows_, found, "CviSearch"), H(lower));
}

// ---- The clipboard

// The whole clipboard is taken, and comes back as it was; a format whose handle cannot be copied
// leaves it untouched.
TEST(Clipboard, TakesEverythingOrNothing) {
  win32::Win32Clipboard clipboard;
  ASSERT_TRUE(e2e::SetUsersClipboard("the user's own text"));
  std::vector<ClipboardFormat> saved;
  ASSERT_TRUE(clipboard.Take(&saved));
  EXPECT_EQ(CountClipboardFormats(), 0);
  ASSERT_TRUE(clipboard.SetText("C:\\Program Files\\CelvaraStudio"));
  std::string text;
  EXPECT_TRUE(e2e::ClipboardData(CF_TEXT, &text));
  EXPECT_STREQ(text.c_str(), "C:\\Program Files\\CelvaraStudio");
  ASSERT_TRUE(clipboard.Restore(saved));
  EXPECT_TRUE(e2e::HoldsUsersClipboard("the user's own text"));

  ASSERT_TRUE(OpenClipboard(nullptr));
  SetClipboardData(CF_DSPBITMAP, CreateBitmap(1, 1, 1, 1, nullptr));
  CloseClipboard();
  EXPECT_FALSE(clipboard.Take(&saved));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DSPBITMAP));
  EXPECT_TRUE(e2e::HoldsUsersClipboard("the user's own text"));
}

// ---- Held packages

std::string Hex(const std::uint8_t (&digest)[HeldFile::kSha256Size]) {
  std::string hex;
  char pair[3];
  for (std::uint8_t b : digest) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

TEST(HeldFile, DigestsOfKnownVectors) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  const std::string path = "C:\\digest-vector.bin";
  win32::Win32FileSystem files;
  for (const auto& v : vectors) {
    ASSERT_TRUE(e2e::WriteWholeFile(path, v.first));
    std::uint8_t digest[HeldFile::kSha256Size];
    auto held = files.HoldForReading(path);
    ASSERT_TRUE(held && held->Sha256(digest));
    EXPECT_EQ(Hex(digest), v.second);
  }
  EXPECT_EQ(files.HoldForReading("C:\\no-such-file.bin"), nullptr);
  DeleteFileA(path.c_str());
}

// While the verified package is held nobody can change, replace or delete it, yet it can still be
// started; once let go it is an ordinary file again.
TEST(HeldFile, CannotBeSwappedButCanRun) {
  const std::string package = "C:\\held\\CelvaraStudio_v3.9.exe";
  const std::string swap = "C:\\held\\swap.exe";
  ASSERT_TRUE(e2e::CreateFolders("C:\\held"));
  ASSERT_TRUE(CopyFileA(e2e::DecoyProgramExe().c_str(), package.c_str(), FALSE));
  ASSERT_TRUE(e2e::WriteWholeFile(swap, "not the package"));
  win32::Win32FileSystem files;
  auto held = files.HoldForReading(package);
  ASSERT_TRUE(held);
  win32::FileHandle writer(CreateFileA(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer);
  EXPECT_FALSE(MoveFileExA(swap.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(DeleteFileA(package.c_str()));
  win32::Win32Processes processes;
  EXPECT_TRUE(processes.Start(package, "\"" + package + "\"", SW_SHOWNORMAL));
  EXPECT_TRUE(e2e::WaitUntil([] { return e2e::FileExists("C:\\held\\decoy-ran.txt"); }));
  held.reset();
  EXPECT_TRUE(e2e::WaitUntil([&] { return DeleteFileA(package.c_str()) != FALSE; }));
  e2e::DeleteTree("C:\\held");
}

// ---- The self-extractor automation

class RecordingBoxes : public MessageBoxes {
 public:
  int Show(const std::string& text, const std::string&, std::uint32_t style) override {
    shown.push_back(text);
    styles.push_back(style);
    return mb::kAnswerOk;
  }
  std::vector<std::string> shown;
  std::vector<std::uint32_t> styles;
};

constexpr const char* kFolder = "C:\\Program Files\\CelvaraStudio";
constexpr const char* kDecoy = "C:\\Program.exe";
constexpr const char* kDecoyMarker = "C:\\decoy-ran.txt";

std::string PackageOf(const std::string& name) {
  return e2e::ToWindowsPath(CVI_E2E_PACKAGES_DIR) + "\\" + name;
}

class Extract : public testing::Test {
 protected:
  void SetUp() override {
    e2e::DeleteTree(kFolder);
    ASSERT_TRUE(e2e::CreateFolders(kFolder));
    ASSERT_TRUE(CopyFileA(e2e::DecoyProgramExe().c_str(), kDecoy, FALSE));
    DeleteFileA(kDecoyMarker);
    state_.InstallPath = kFolder;
    state_.MessageTitle = e2e::kMessageTitle;
  }
  void TearDown() override {
    SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", nullptr);
    // A misbehaving self-extractor may still run, holding its package open; nothing may outlive
    // the test.
    e2e::KillProcessesNamed("CelvaraStudio_");
    DeleteFileA(kDecoy);
  }
  // Copies the package into the installation folder, as the download leaves it, and runs.
  std::int16_t Run(const std::string& package, const char* misbehave = nullptr) {
    packagePath_ = std::string(kFolder) + "\\" + package.substr(package.find_last_of('\\') + 1);
    EXPECT_TRUE(CopyFileA(PackageOf(package).c_str(), packagePath_.c_str(), FALSE))
        << PackageOf(package);
    SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", misbehave);
    return RunSelfExtractor(in_, packagePath_, state_.InstallPath);
  }
  HWND Dialog() {
    Windows::Handle found = 0;
    return reinterpret_cast<HWND>(FindWindowByTitle(windows_, found, kSelfExtractorTitlePart));
  }
  bool DialogOpen() { return Dialog() != nullptr; }
  std::string packagePath_;
  InstallerState state_;
  NullFormView view_;
  Forms forms_{view_};
  RecordingBoxes boxes_;
  win32::Win32PlatformSet platform_{boxes_};
  win32::Win32Windows& windows_ = platform_.windows;
  win32::Win32Clipboard& clipboard_ = platform_.clipboard;
  Installer in_{state_, forms_, platform_.os};
};

// Through the dialog's controls, and by keys when it offers none: the package lands in the folder
// and the user's clipboard is as it was.
TEST_F(Extract, BothRoutesUnpackUnderAFolderWithSpaces) {
  for (const char* misbehave : {static_cast<const char*>(nullptr), "no-mnemonics"}) {
    SCOPED_TRACE(misbehave ? misbehave : "controls");
    ASSERT_TRUE(e2e::SetUsersClipboard("the user's own text"));
    EXPECT_EQ(Run("CelvaraStudio_v3.9.exe", misbehave), -1)
        << (boxes_.shown.empty() ? "" : boxes_.shown[0]);
    EXPECT_TRUE(boxes_.shown.empty());
    for (const char* file : {"CVInstall_v3.9.txt", "CelvaraStudio.exe"})
      EXPECT_TRUE(e2e::FileExists(std::string(kFolder) + "\\" + file)) << file;
    // The dialog is gone, the user's clipboard is back and the decoy never ran.
    EXPECT_FALSE(DialogOpen());
    EXPECT_TRUE(e2e::HoldsUsersClipboard("the user's own text"));
    EXPECT_FALSE(e2e::FileExists(kDecoyMarker));
    TearDown();
    SetUp();
  }
}

// The stand-in takes a user's keys: Ctrl+V into its focused field, which starts elsewhere, Alt+U,
// Enter on its completion window and Alt+C, with or without mnemonics on its buttons.
TEST_F(Extract, StandInTakesTheKeysOfAUser) {
  for (const char* misbehave : {static_cast<const char*>(nullptr), "no-mnemonics"}) {
    SCOPED_TRACE(misbehave ? misbehave : "mnemonics");
    const std::string package = std::string(kFolder) + "\\CelvaraStudio_v3.9.exe";
    ASSERT_TRUE(CopyFileA(PackageOf("CelvaraStudio_v3.9.exe").c_str(), package.c_str(), FALSE));
    SetEnvironmentVariableA("CVI_SFX_MISBEHAVE", misbehave);
    e2e::Process stub;
    ASSERT_TRUE(stub.Start("\"" + package + "\""));
    HWND dialog = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (dialog = Dialog()) && IsWindowVisible(dialog); }));
    HWND field = e2e::FocusedControl(dialog);
    ASSERT_NE(field, nullptr);
    EXPECT_NE(e2e::WindowText(field), kFolder);
    ASSERT_TRUE(e2e::SetClipboardText(kFolder));
    e2e::PressCtrl(dialog, 'V');
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(field) == kFolder; }));
    e2e::PressAlt(dialog, 'U');
    HWND done = e2e::WaitForWindow(kSelfExtractorMessageTitle, stub.Id(), 10000);
    ASSERT_NE(done, nullptr);
    e2e::PressEnter(done);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(done); }));
    e2e::PressAlt(dialog, 'C');
    EXPECT_TRUE(stub.WaitForExit(5000));
    EXPECT_TRUE(e2e::FileExists(std::string(kFolder) + "\\CVInstall_v3.9.txt"));
    TearDown();
    SetUp();
  }
}

// A package that is no program, alone or with a self-extractor dialog already open (from a package
// started by hand): the message comes at once, and nothing is driven.
TEST_F(Extract, RefusedAtTheStart) {
  const std::string package = std::string(kFolder) + "\\CelvaraStudio_v3.9.exe";
  const std::string stalePackage = "C:\\stale\\CelvaraStudio_v3.9.exe";
  ASSERT_TRUE(e2e::WriteWholeFile(package, "This is no program.\r\n"));
  e2e::Process stale;
  struct Row {
    const char* name;
    bool staleDialog;
    std::string message;
  };
  const Row rows[] = {
      {"no program", false, expected::kUnzipCannotStart + package + "\r\r"},
      {"stale dialog", true, expected::kUnzipDialogAlreadyOpen},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.staleDialog) {
      ASSERT_TRUE(e2e::CreateFolders("C:\\stale"));
      ASSERT_TRUE(
          CopyFileA(PackageOf("CelvaraStudio_v3.9.exe").c_str(), stalePackage.c_str(), FALSE));
      ASSERT_TRUE(stale.Start("\"" + stalePackage + "\""));
      ASSERT_TRUE(e2e::WaitUntil([&] { return DialogOpen(); }));
    }
    boxes_.shown.clear();
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunSelfExtractor(in_, package, state_.InstallPath), 0);
    EXPECT_LT(GetTickCount() - start, 1000u);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].substr(0, row.message.size()), row.message) << boxes_.shown[0];
  }
  stale.Kill();
  e2e::DeleteTree("C:\\stale");
}

// Another program holds the clipboard until 0.8 s after the dialog appears; the user's
// clipboard names a folder of theirs. Through the controls the installation goes ahead; by keys
// nothing is pasted and nothing unpacked. Either way the user's folder and clipboard are as they
// were.
TEST_F(Extract, ClipboardHeldByAnotherProgramDuringThePaste) {
  const std::string userData = "C:\\UserData";
  const std::string notes = userData + "\\Docs\\readme.txt";
  const std::pair<const char*, std::int16_t> rows[] = {{nullptr, -1}, {"no-mnemonics", 0}};
  for (const auto& [misbehave, result] : rows) {
    SCOPED_TRACE(misbehave ? misbehave : "controls");
    ASSERT_TRUE(e2e::CreateFolders(userData + "\\Docs"));
    ASSERT_TRUE(e2e::WriteWholeFile(notes, "the user's own notes"));
    ASSERT_TRUE(e2e::SetUsersClipboard(userData));
    e2e::Process holder;
    ASSERT_TRUE(holder.Start("\"" + e2e::RivalProgramExe() + "\" hold-clipboard 800"));
    ASSERT_TRUE(e2e::WaitUntil([] { return FindWindowA(nullptr, "Rival - clipboard holder"); }));
    boxes_.shown.clear();
    EXPECT_EQ(Run("CelvaraStudio_v3.9.exe", misbehave), result);
    EXPECT_EQ(boxes_.shown, result == 0 ? std::vector<std::string>{expected::kUnzipNoLog}
                                        : std::vector<std::string>{});
    EXPECT_EQ(e2e::FileExists(std::string(kFolder) + "\\CVInstall_v3.9.txt"), result == -1);
    EXPECT_FALSE(e2e::FileExists(userData + "\\CVInstall_v3.9.txt"));
    EXPECT_FALSE(e2e::FileExists(userData + "\\CelvaraStudio.exe"));
    EXPECT_EQ(e2e::ReadWholeFile(notes), "the user's own notes");
    EXPECT_TRUE(holder.WaitForExit(5000));
    EXPECT_TRUE(e2e::HoldsUsersClipboard(userData));
    e2e::DeleteTree(userData);
    TearDown();
    SetUp();
  }
}

// The rig maps F: to a tmpfs of 1 MB, too small for the package: the stand-in stops at its first
// write error, says so in its own window and leaves no file of the package, so the missing log
// file tells the installer that the unzip failed.
TEST_F(Extract, FullDriveIsAFailure) {
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExA("F:\\", nullptr, &total, nullptr) || total.QuadPart > (4u << 20)) {
    GTEST_SKIP() << "F: is no small drive: the rig mounts a 1 MB tmpfs there only where mounting "
                    "is permitted";
  }
  const std::string target = "F:\\CelvaraStudio";
  e2e::DeleteTree(target);
  ASSERT_TRUE(e2e::CreateFolders(target));
  state_.InstallPath = target;
  const std::string package = std::string(kFolder) + "\\CelvaraStudio_v3.9.exe";
  ASSERT_TRUE(CopyFileA(PackageOf("CelvaraStudio_v3.9.exe").c_str(), package.c_str(), FALSE));
  EXPECT_EQ(RunSelfExtractor(in_, package, target), 0);
  EXPECT_EQ(boxes_.shown, std::vector<std::string>{expected::kUnzipNoLog});
  HWND error = e2e::FindMessageBox(kSelfExtractorMessageTitle);
  ASSERT_NE(error, nullptr);
  EXPECT_NE(e2e::MessageBoxText(error).find("cannot be written"), std::string::npos)
      << e2e::MessageBoxText(error);
  for (const char* file : {"CVInstall_v3.9.txt", "CelvaraStudio.exe"})
    EXPECT_FALSE(e2e::FileExists(target + "\\" + file)) << file;
  e2e::DeleteTree(target);
}

// The upgrade package brings its own log; each misbehaving self-extractor ends in its own message
// and result.
TEST_F(Extract, PackagesAndMisbehavingSelfExtractors) {
  struct Row {
    const char* package;
    const char* misbehave;
    bool upgrade;
    std::int16_t result;
    std::string message;  // followed by the package path, except the log message
  };
  const Row rows[] = {
      {"CelvaraStudio_Upgrade_v3.9.exe", nullptr, true, -1, ""},
      {"CelvaraStudio_v3.9.exe", "no-dialog", false, 0, expected::kUnzipNoStart},
      {"CelvaraStudio_v3.9.exe", "ignore-close", false, -1, ""},
      {"test\\CelvaraStudio_WrongLog_v3.9.exe", nullptr, false, 0, expected::kUnzipNoLog},
      {"CelvaraStudio_v3.9.exe", "no-completion", false, 0, expected::kUnzipNoFinish},
      {"CelvaraStudio_Upgrade_v3.9.exe", "no-mnemonics", true, -1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.misbehave ? row.misbehave : row.package);
    boxes_.shown.clear();
    state_.UpgradeMode = row.upgrade;
    EXPECT_EQ(Run(row.package, row.misbehave), row.result);
    if (row.message.empty()) {
      EXPECT_TRUE(boxes_.shown.empty());
    } else {
      ASSERT_EQ(boxes_.shown.size(), 1u);
      const bool withPath = row.message != expected::kUnzipNoLog;
      EXPECT_EQ(boxes_.shown[0], row.message + (withPath ? packagePath_ : ""));
    }
    TearDown();
    SetUp();
  }
}

}  // namespace
}  // namespace cvi
