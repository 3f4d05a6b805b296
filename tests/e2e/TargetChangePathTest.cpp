// "Change Drive or Path" in the real installer: the shell's folder dialog driven from outside,
// then what validation makes of the chosen folder on disk and in frmInstall.
#include <gtest/gtest.h>

#include <shlobj.h>
#include "ExpectedTexts.h"

#include <ostream>
#include <string>

#include "Driver.h"

namespace cvi::e2e {
namespace {

constexpr const char* kFormTitle = "CelvaraStudio Installation";
constexpr const char* kDialogTitle = "Browse for Folder";
constexpr const char* kMessageTitle = "CelvaraStudio Install/Upgrade";
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kDialogTitleStatic = 14146;
constexpr int kDialogStatusLine = 14147;
constexpr const char* kRoot = "C:\\TargetE2E";

const std::string& kBox1 = expected::kBox1;
const std::string& kBox2 = expected::kBox2;

// Memory in another process holding a text, released when it goes out of scope.
class RemoteText {
 public:
  RemoteText(HANDLE process, const std::string& text) : process_(process) {
    address_ =
        VirtualAllocEx(process, nullptr, text.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (address_ &&
        !WriteProcessMemory(process, address_, text.c_str(), text.size() + 1, nullptr)) {
      VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
      address_ = nullptr;
    }
  }
  ~RemoteText() {
    if (address_)
      VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteText(const RemoteText&) = delete;
  RemoteText& operator=(const RemoteText&) = delete;
  LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

class TargetChangePath : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateFolders(kRoot));
    ASSERT_TRUE(StartInstaller(installer_));
    form_ = WaitForWindow(kFormTitle, installer_.Id(), 15000);
    ASSERT_NE(form_, nullptr);
  }

  HWND Control(Ctl ctl) { return FindChild(form_, ctl); }
  std::string Text(Ctl ctl) { return WindowText(Control(ctl)); }

  HWND OpenDialog() {
    Click(Control(Ctl::cmdChange));
    return WaitForWindow(kDialogTitle, installer_.Id(), 10000);
  }

  static std::string StatusLine(HWND dialog) {
    return WindowText(FindChildById(dialog, kDialogStatusLine));
  }

  // Selects a folder as the dialog's own callback does and waits until the status line shows it.
  // The tree may still be filling in the previous selection's folder and drop the request, so it
  // is sent again a few times.
  bool Select(HWND dialog, const std::string& folder) {
    RemoteText path(installer_.Handle(), folder);
    if (!path.Address())
      return false;
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(dialog, BFFM_SETSELECTIONA, TRUE, path.Address(), SMTO_ABORTIFHUNG, 5000,
                          &ignored);
      if (WaitUntil([&] { return StatusLine(dialog) == folder; }, 1000))
        return true;
    }
    return false;
  }

  bool Press(HWND dialog, int button) {
    Click(FindChildById(dialog, button));
    return WaitUntil([&] { return !IsWindow(dialog); });
  }

  // Opens the dialog, selects `folder` and confirms it. The first dialog after a fresh prefix
  // may refuse a selection outside the start folder's subtree; a second dialog takes it.
  bool Choose(const std::string& folder) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      HWND dialog = OpenDialog();
      if (!dialog)
        return false;
      if (Select(dialog, folder))
        return Press(dialog, kDialogOk);
      if (!Press(dialog, kDialogCancel))
        return false;
    }
    return false;
  }

  bool WaitForPath(const std::string& text) {
    return WaitUntil([&] { return Text(Ctl::txtInstallPath) == text; });
  }

  Process installer_;
  HWND form_ = nullptr;
};

TEST_F(TargetChangePath, OpensAtDriveCAndShowsEachSelectionInTheStatusLine) {
  const std::string deep = std::string(kRoot) + "\\Status\\Deeper";
  ASSERT_TRUE(CreateFolders(deep));
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(FindChildById(dialog, kDialogTitleStatic)),
            "Choose CelvaraStudio Installation Path");
  EXPECT_TRUE(WaitUntil([&] { return StatusLine(dialog) == "C:\\"; })) << StatusLine(dialog);
  EXPECT_TRUE(Select(dialog, std::string(kRoot) + "\\Status")) << StatusLine(dialog);
  // Wine's dialog at times drops a second selection sent from outside; a new dialog takes it.
  if (!Select(dialog, deep)) {
    ASSERT_TRUE(Press(dialog, kDialogCancel));
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Select(dialog, deep)) << StatusLine(dialog);
  }
  SaveScreenshot(dialog, "target-folder-dialog");

  ASSERT_TRUE(Press(dialog, kDialogCancel));
  Sleep(300);
  EXPECT_EQ(Text(Ctl::txtInstallPath), "C:\\");
  EXPECT_FALSE(Visible(Control(Ctl::lblPathError)));
  EXPECT_FALSE(FileExists(deep + "\\CelvaraStudio"));
}

TEST_F(TargetChangePath, OpensAtDriveCWhateverIsTyped) {
  ASSERT_TRUE(CreateFolders(std::string(kRoot) + "\\Typed"));
  ASSERT_TRUE(SetWindowTextA(Control(Ctl::txtInstallPath), "C:\\TargetE2E\\Typed"));
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusLine(dialog) == "C:\\"; })) << StatusLine(dialog);
  ASSERT_TRUE(Press(dialog, kDialogCancel));
}

TEST_F(TargetChangePath, ChosenFolderGetsTheProductFolderTree) {
  const std::string chosen = std::string(kRoot) + "\\Fresh";
  const std::string product = chosen + "\\CelvaraStudio";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(chosen));
  ASSERT_TRUE(Choose(chosen));
  ASSERT_TRUE(WaitForPath(product)) << Text(Ctl::txtInstallPath);
  EXPECT_FALSE(Visible(Control(Ctl::lblPathError)));
  for (const char* sub :
       {"CelvaraStudioUserGuide_files", "Charts\\Single", "Charts\\Dual", "Ephem"}) {
    const DWORD attributes = GetFileAttributesA((product + "\\" + sub).c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << sub;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY) << sub;
  }
  EXPECT_EQ(Text(Ctl::cmdInstall), "INSTALL");
}

TEST_F(TargetChangePath, DriveRootAsStartedGivesTheProductFolderOnC) {
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusLine(dialog) == "C:\\"; }));
  ASSERT_TRUE(Press(dialog, kDialogOk));
  EXPECT_TRUE(WaitForPath("C:\\CelvaraStudio")) << Text(Ctl::txtInstallPath);
  EXPECT_NE(GetFileAttributesA("C:\\CelvaraStudio\\Charts\\Dual"), INVALID_FILE_ATTRIBUTES);
}

struct AnswerRow {
  const char* name;
  int box1Answer;
  int box2Answer;  // 0: box 2 is not expected
  bool accepted;
  const char* cmdInstall;
  const char* lblTitle;
};

void PrintTo(const AnswerRow& row, std::ostream* os) {
  *os << row.name;
}

class TargetExistingInstallation : public TargetChangePath,
                                   public testing::WithParamInterface<AnswerRow> {};

TEST_P(TargetExistingInstallation, Answers) {
  const AnswerRow& row = GetParam();
  const std::string chosen = std::string(kRoot) + "\\Installed" + row.name;
  const std::string product = chosen + "\\CelvaraStudio";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(product));
  ASSERT_TRUE(WriteWholeFile(product + "\\CelvaraStudio.exe", "MZ"));
  ASSERT_TRUE(Choose(chosen));

  HWND box = WaitForMessageBox(kMessageTitle, installer_.Id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kBox1);
  EXPECT_NE(FindChildById(box, IDYES), nullptr);
  EXPECT_NE(FindChildById(box, IDNO), nullptr);
  EXPECT_EQ(FindChildById(box, IDCANCEL), nullptr);
  AnswerMessageBox(box, row.box1Answer);
  if (row.box2Answer) {
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    HWND box2 = WaitForMessageBox(kMessageTitle, installer_.Id());
    ASSERT_NE(box2, nullptr);
    EXPECT_EQ(MessageBoxText(box2), kBox2);
    EXPECT_NE(FindChildById(box2, IDOK), nullptr);
    EXPECT_NE(FindChildById(box2, IDCANCEL), nullptr);
    AnswerMessageBox(box2, row.box2Answer);
  }

  // The text box shows the final path whatever the answer.
  ASSERT_TRUE(WaitForPath(product)) << Text(Ctl::txtInstallPath);
  EXPECT_TRUE(WaitUntil([&] { return FindMessageBox(kMessageTitle, installer_.Id()) == nullptr; }));
  EXPECT_EQ(Text(Ctl::cmdInstall), row.cmdInstall);
  EXPECT_EQ(Text(Ctl::lblTitle), row.lblTitle);
  EXPECT_EQ(Visible(Control(Ctl::lblPathError)), !row.accepted);
  if (!row.accepted) {
    EXPECT_EQ(Text(Ctl::lblPathError), "You have neither chosen an upgrade nor a full install.");
  }
  EXPECT_EQ(GetFileAttributesA((product + "\\Charts\\Single").c_str()) != INVALID_FILE_ATTRIBUTES,
            row.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Target,
    TargetExistingInstallation,
    testing::Values(AnswerRow{"Yes", IDYES, 0, true, "UPGRADE", "Upgrade CelvaraStudio to: v3.9"},
                    AnswerRow{"NoThenOk", IDNO, IDOK, true, "INSTALL",
                              "Install CelvaraStudio version: v3.9"},
                    AnswerRow{"NoThenCancel", IDNO, IDCANCEL, false, "INSTALL",
                              "Install CelvaraStudio version: v3.9"}),
    [](const testing::TestParamInfo<AnswerRow>& info) { return std::string(info.param.name); });

// A file where the product folder belongs keeps the folder from being made.
TEST_F(TargetChangePath, ProductFolderThatCannotBeCreated) {
  const std::string chosen = std::string(kRoot) + "\\Blocked";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(chosen));
  ASSERT_TRUE(WriteWholeFile(chosen + "\\CelvaraStudio", "not a folder"));
  ASSERT_TRUE(Choose(chosen));
  ASSERT_TRUE(WaitForPath(chosen + "\\CelvaraStudio")) << Text(Ctl::txtInstallPath);
  ASSERT_TRUE(WaitUntil([&] { return Visible(Control(Ctl::lblPathError)); }));
  EXPECT_EQ(Text(Ctl::lblPathError),
            "Unable to create 'CelvaraStudio' subdirectory. Make sure you have 'write' "
            "priveleges on the disk drive.");
}

// Closing frmInstall ends the run in every case: the folder dialog goes with the window, and a
// question that was up is never followed by the next one or by any folder.
TEST_F(TargetChangePath, ClosingTheWindowWhileTheDialogIsOpenEndsTheRun) {
  const std::string chosen = std::string(kRoot) + "\\ClosedDialog";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(chosen));
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  Select(dialog, chosen);
  Close(form_);
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(installer_.WaitForExit(3000)) << "still running";
  EXPECT_LT(GetTickCount64() - start, 1500u);
  EXPECT_EQ(GetFileAttributesA((chosen + "\\CelvaraStudio").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TargetChangePath, ClosingTheWindowDuringAQuestionEndsTheRun) {
  const std::string chosen = std::string(kRoot) + "\\ClosedQuestion";
  const std::string product = chosen + "\\CelvaraStudio";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(product));
  ASSERT_TRUE(WriteWholeFile(product + "\\CelvaraStudio.exe", "MZ"));
  ASSERT_TRUE(Choose(chosen));
  ASSERT_NE(WaitForMessageBox(kMessageTitle, installer_.Id()), nullptr);
  Close(form_);
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(installer_.WaitForExit(3000)) << "still running";
  EXPECT_LT(GetTickCount64() - start, 1500u);
  EXPECT_EQ(GetFileAttributesA((product + "\\Charts").c_str()), INVALID_FILE_ATTRIBUTES);
}

struct DriveRow {
  const char* root;
  const char* text;
};

// The drive letter alone: a trailing backslash would run into the next line of a test listing.
void PrintTo(const DriveRow& row, std::ostream* os) {
  *os << row.root[0];
}

class TargetDrive : public TargetChangePath, public testing::WithParamInterface<DriveRow> {};

// The rig maps these letters to folders of the given kinds.
TEST_P(TargetDrive, ChosenDriveRootIsRejected) {
  const DriveRow& row = GetParam();
  if (!Choose(row.root))
    GTEST_SKIP() << "the dialog does not offer " << row.root;
  ASSERT_TRUE(WaitUntil([&] { return Visible(Control(Ctl::lblPathError)); }));
  EXPECT_EQ(Text(Ctl::lblPathError),
            std::string("Invalid installation Path. The drive is: ") + row.text);
  EXPECT_EQ(Text(Ctl::txtInstallPath), row.root);
}

INSTANTIATE_TEST_SUITE_P(Target,
                         TargetDrive,
                         testing::Values(DriveRow{"R:\\", "CD-rom drive"},
                                         DriveRow{"A:\\", "removable disk (floppy, USB, etc.)"},
                                         DriveRow{"N:\\", "Network (remote) drive"},
                                         DriveRow{"M:\\", "RAM disk"}),
                         [](const testing::TestParamInfo<DriveRow>& info) {
                           return std::string(1, info.param.root[0]);
                         });

}  // namespace
}  // namespace cvi::e2e
