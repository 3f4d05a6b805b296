// Path validation: the decision rows, the drive types, the product-folder rule and the questions.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "Doubles.h"
#include "app/Main.h"
#include "target/ValidateInstallPath.h"

namespace cvi::test {
namespace {

constexpr Form kF = Form::frmInstall;

const std::string& kBox1 = expected::kBox1;
const std::string& kBox2 = expected::kBox2;
const std::string kNotCreated =
    "Unable to create 'CelvaraStudio' subdirectory. Make sure you have 'write' priveleges on the "
    "disk drive.";

std::vector<std::string> TreeIn(const std::string& folder, bool withFolderItself) {
  std::vector<std::string> paths;
  if (withFolderItself)
    paths.push_back(folder);
  for (const char* sub :
       {"CelvaraStudioUserGuide_files", "Charts", "Charts\\Single", "Charts\\Dual", "Ephem"}) {
    paths.push_back(folder + "\\" + sub);
  }
  return paths;
}

// A rig after start-up of a full installation, with marks that show whether a row changed
// the captions, the flags or InstallPath.
void PrepareRig(TestRig& r) {
  Startup(r.in);
  r.ui.SetCaption(kF, Ctl::cmdInstall, "caption before");
  r.ui.SetCaption(kF, Ctl::lblTitle, "title before");
  r.state.UpgradeMode = true;
  r.state.FullInstallMode = true;
  r.state.InstallPath = "path before";
  r.files.AddFolder("C:\\");
  r.files.AddFolder("C:\\Apps");
  r.files.AddFile("C:\\Apps\\notes.txt");
}

void AddInstallation(TestRig& r) {
  r.files.AddFolder("C:\\Apps\\CelvaraStudio");
  r.files.AddFile("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
}

struct Row {
  const char* name;
  std::function<void(TestRig&)> setup;
  std::string argument;
  std::vector<int> answers;
  bool result;
  bool upgradeMode, fullInstallMode;
  std::string installPath;
  std::string cmdInstall, lblTitle;
  std::vector<std::string> created;  // creation attempts, in order
  std::string pathError;             // "" when lblPathError is hidden
  std::string txtInstallPath;
  std::vector<std::string> boxes;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

class DecisionTable : public testing::TestWithParam<Row> {};

TEST_P(DecisionTable, Row) {
  const Row& row = GetParam();
  TestRig r;
  PrepareRig(r);
  if (row.setup)
    row.setup(r);
  r.boxes.answers.assign(row.answers.begin(), row.answers.end());
  r.ui.SetVisible(kF, Ctl::lblPathError, true);
  const std::string argument = row.argument;

  EXPECT_EQ(ValidateInstallPath(r.in, argument), row.result);
  EXPECT_EQ(argument, row.argument);
  EXPECT_EQ(r.state.UpgradeMode, row.upgradeMode);
  EXPECT_EQ(r.state.FullInstallMode, row.fullInstallMode);
  EXPECT_EQ(r.state.InstallPath, row.installPath);
  EXPECT_EQ(r.ui.Caption(kF, Ctl::cmdInstall), row.cmdInstall);
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblTitle), row.lblTitle);
  EXPECT_EQ(r.files.created, row.created);
  EXPECT_EQ(r.ui.Visible(kF, Ctl::lblPathError), !row.pathError.empty());
  if (!row.pathError.empty()) {
    EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError), row.pathError);
  }
  EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), row.txtInstallPath);
  ASSERT_EQ(r.boxes.shown.size(), row.boxes.size());
  for (std::size_t i = 0; i < row.boxes.size(); ++i) {
    EXPECT_EQ(r.boxes.shown[i].text, row.boxes[i]);
    EXPECT_EQ(r.boxes.shown[i].title, "CelvaraStudio Install/Upgrade");
    EXPECT_EQ(r.boxes.shown[i].style, i == 0 ? 36u : 33u);
  }
  for (const std::string& path : row.created) {
    if (!r.files.failCreate.count(FakeFileSystem::Key(path)) &&
        r.files.Exists(FakeFileSystem::Parent(path))) {
      EXPECT_TRUE(r.files.Exists(path)) << path;
    }
  }
}

const std::string kFinal = "C:\\Apps\\CelvaraStudio";
const std::string kUpgradeTitle = "Upgrade CelvaraStudio to: v3.9";
const std::string kInstallTitle = "Install CelvaraStudio version: v3.9";

const std::string kNoneOfBoth = "You have neither chosen an upgrade nor a full install.";
const auto kNoFile = [](TestRig& r) {
  // No folder can be made inside an ordinary file.
  r.files.failCreate.insert("C:\\APPS\\NOTES.TXT\\CELVARASTUDIO");
};
const auto kNoWrite = [](TestRig& r) { r.files.failCreate.insert(FakeFileSystem::Key(kFinal)); };
const auto kFileNamedLikeTheProduct = [](TestRig& r) { r.files.AddFile(kFinal); };
const auto kProductFolderOnly = [](TestRig& r) { r.files.AddFolder(kFinal); };
const auto kCdRom = [](TestRig& r) { r.files.driveTypes["R:\\"] = 5; };
// Folders whose product folder has 206 characters, the most that leaves room for the deepest
// file of the packages (38 characters in this build) and the self-extractor's temporary names,
// and one more.
const std::string kLongest = "C:\\Apps\\" + std::string(184, 'a');
const std::string kTooLong = kLongest + "b";
const auto kLongFolders = [](TestRig& r) {
  r.files.AddFolder(kLongest);
  r.files.AddFolder(kTooLong);
};

// Code page 932: "\x95\x5C" is one character whose second byte is that of "\\", and
// "\x82\x63" one whose second byte is "c".
const std::string kKanjiFolder = "C:\\\x95\x5C";
const std::string kKanjiWordFolder =
    "C:\\Apps\\\x82\x63"
    "elvarastudio";
const auto kCodePage932 = [](TestRig& r) {
  for (int b = 0x81; b <= 0xFC; ++b)
    if (b <= 0x9F || b >= 0xE0)
      r.files.leadBytes.insert(static_cast<unsigned char>(b));
  r.files.AddFolder(kKanjiFolder);
  r.files.AddFolder(kKanjiWordFolder);
};

// Columns: name, setup, argument, answers, result, UpgradeMode, FullInstallMode, InstallPath,
// cmdInstall, lblTitle, folders created, lblPathError, txtInstallPath, boxes.
// clang-format off
INSTANTIATE_TEST_SUITE_P(ValidateInstallPath, DecisionTable, testing::Values(
    Row{"Row1_TooShort", nullptr, "AB", {}, false, true, true, "path before",
        "caption before", "title before", {},
        "Invalid installation Path, must be at least 3 characters (like 'C:\\')", "AB", {}},
    Row{"Row2_NotAFixedDrive", kCdRom, "R:\\Stuff\\", {}, false, true, true, "path before",
        "caption before", "title before", {},
        "Invalid installation Path. The drive is: CD-rom drive", "R:\\Stuff\\", {}},
    Row{"Row3_TypedFolderMissing", nullptr, "C:\\Apps\\Missing\\", {}, false, true, true,
        "path before", "caption before", "title before", {},
        "The directory path you typed in does not exist.", "C:\\Apps\\Missing", {}},
    Row{"Row3_OnlyOneTrailingBackslashRemoved", nullptr, "C:\\Apps\\\\", {}, false, true, true,
        "path before", "caption before", "title before", {},
        "The directory path you typed in does not exist.", "C:\\Apps\\", {}},
    Row{"TooLong", kLongFolders, kTooLong, {}, false, true, true, "path before",
        "caption before", "title before", {},
        "Invalid installation Path, too long: the installation folder can have at most 206 "
        "characters, this one has 207.", kTooLong + "\\CelvaraStudio", {}},
    Row{"Row8_LongestPath", kLongFolders, kLongest + "\\", {}, true, false, true,
        kLongest + "\\CelvaraStudio", "caption before", "title before",
        TreeIn(kLongest + "\\CelvaraStudio", true), "", kLongest + "\\CelvaraStudio", {}},
    Row{"Row4_InstalledYes", AddInstallation, "C:\\Apps\\", {mb::kAnswerYes}, true, true, false,
        kFinal, "UPGRADE", kUpgradeTitle, TreeIn(kFinal, false), "", kFinal, {kBox1}},
    Row{"Row5_InstalledNoThenOk", AddInstallation, "C:\\Apps", {mb::kAnswerNo, mb::kAnswerOk},
        true, false, true, kFinal, "INSTALL", kInstallTitle, TreeIn(kFinal, false), "", kFinal,
        {kBox1, kBox2}},
    Row{"Row6_InstalledNoThenCancel", AddInstallation, "C:\\Apps\\",
        {mb::kAnswerNo, mb::kAnswerCancel}, false, true, true, "", "caption before",
        "title before", {}, kNoneOfBoth, kFinal, {kBox1, kBox2}},
    Row{"Row7_ProductFolderNotCreated", kNoWrite, "C:\\Apps\\", {}, false, true, true, kFinal,
        "caption before", "title before", {kFinal}, kNotCreated, kFinal, {}},
    Row{"Row7_TypedPathIsAFile", kNoFile, "C:\\Apps\\notes.txt", {}, false, true, true,
        "C:\\Apps\\notes.txt\\CelvaraStudio", "caption before", "title before",
        {"C:\\Apps\\notes.txt\\CelvaraStudio"}, kNotCreated,
        "C:\\Apps\\notes.txt\\CelvaraStudio", {}},
    Row{"Row7_ProductNameIsAFile", kFileNamedLikeTheProduct, kFinal, {}, false, true, true,
        kFinal, "caption before", "title before", {kFinal}, kNotCreated, kFinal, {}},
    Row{"Row8_FreshFolder", nullptr, "C:\\Apps\\", {}, true, false, true, kFinal,
        "caption before", "title before", TreeIn(kFinal, true), "", kFinal, {}},
    Row{"Row8_ProductFolderWithoutProgram", kProductFolderOnly, "C:\\Apps\\", {}, true, false,
        true, kFinal, "caption before", "title before", TreeIn(kFinal, true), "", kFinal, {}},
    Row{"Row8_DriveRoot", nullptr, "C:\\", {}, true, false, true, "C:\\CelvaraStudio",
        "caption before", "title before", TreeIn("C:\\CelvaraStudio", true), "",
        "C:\\CelvaraStudio", {}},
    Row{"DoubleByteFolderEndingInTheBackslashByte", kCodePage932, kKanjiFolder, {}, true, false,
        true, kKanjiFolder + "\\CelvaraStudio", "caption before", "title before",
        TreeIn(kKanjiFolder + "\\CelvaraStudio", true), "", kKanjiFolder + "\\CelvaraStudio", {}},
    Row{"DoubleByteFolderWithItsBackslash", kCodePage932, kKanjiFolder + "\\", {}, true, false,
        true, kKanjiFolder + "\\CelvaraStudio", "caption before", "title before",
        TreeIn(kKanjiFolder + "\\CelvaraStudio", true), "", kKanjiFolder + "\\CelvaraStudio", {}},
    Row{"DoubleByteCharacterBeforeTheWordIsNoProductFolder", kCodePage932, kKanjiWordFolder, {},
        true, false, true, kKanjiWordFolder + "\\CelvaraStudio", "caption before", "title before",
        TreeIn(kKanjiWordFolder + "\\CelvaraStudio", true), "",
        kKanjiWordFolder + "\\CelvaraStudio", {}}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });
// clang-format on

struct DriveRow {
  int type;
  const char* text;  // nullptr: accepted
};

TEST(ValidateInstallPath, DriveTypes) {
  const DriveRow rows[] = {{0, "unknown drive"},
                           {1, "non-existent disk-drive"},
                           {2, "removable disk (floppy, USB, etc.)"},
                           {3, nullptr},
                           {4, "Network (remote) drive"},
                           {5, "CD-rom drive"},
                           {6, "RAM disk"},
                           {7, "unknown drive"},
                           {-1, "unknown drive"}};
  for (const DriveRow& row : rows) {
    SCOPED_TRACE(row.type);
    TestRig r;
    Startup(r.in);
    r.files.driveTypes["Q:\\"] = row.type;
    r.files.AddFolder("Q:\\Data");
    const bool result = ValidateInstallPath(r.in, "q:\\Data");
    EXPECT_EQ(r.files.driveQueries, std::vector<std::string>{"q:\\"});
    EXPECT_EQ(r.state.DriveType, row.type);
    EXPECT_EQ(result, row.text == nullptr);
    EXPECT_EQ(r.ui.Visible(kF, Ctl::lblPathError), row.text != nullptr);
    if (row.text) {
      EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError),
                std::string("Invalid installation Path. The drive is: ") + row.text);
      EXPECT_TRUE(r.files.created.empty());
    }
  }
}

TEST(ValidateInstallPath, NetworkShareIsRejectedByTheDriveTest) {
  TestRig r;
  Startup(r.in);
  EXPECT_FALSE(ValidateInstallPath(r.in, "\\\\server\\share\\"));
  EXPECT_EQ(r.files.driveQueries, std::vector<std::string>{"\\\\s"});
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError),
            "Invalid installation Path. The drive is: non-existent disk-drive");
}

struct ProductRow {
  const char* name;
  std::string typed;
  std::string root;  // the three characters given to the drive test
  std::string finalPath;
};

// The suffix is appended unless the path is longer than the suffix and its last 13 characters
// spell the product word in any case.
TEST(ValidateInstallPath, ProductFolderRule) {
  const ProductRow rows[] = {
      {"14 characters, ends with the word", "\\CelvaraStudio", "\\Ce",
       "\\CelvaraStudio\\CelvaraStudio"},
      {"15 characters, ends with the word", "C:CelvaraStudio", "C:C", "C:CelvaraStudio"},
      {"14 characters", "C:\\Apps\\Studio", "C:\\", "C:\\Apps\\Studio\\CelvaraStudio"},
      {"15 characters", "C:\\Apps\\Studios", "C:\\", "C:\\Apps\\Studios\\CelvaraStudio"},
      {"product folder typed", "C:\\Apps\\CelvaraStudio\\", "C:\\", "C:\\Apps\\CelvaraStudio"},
      {"ends with the word", "C:\\Apps\\MyCelvaraStudio", "C:\\", "C:\\Apps\\MyCelvaraStudio"},
      {"word in lower case", "c:\\apps\\celvarastudio", "c:\\", "c:\\apps\\celvarastudio"},
      {"word not last", "C:\\CelvaraStudio\\Apps", "C:\\",
       "C:\\CelvaraStudio\\Apps\\CelvaraStudio"},
  };
  for (const ProductRow& row : rows) {
    SCOPED_TRACE(row.name);
    TestRig r;
    Startup(r.in);
    r.files.driveTypes[FakeFileSystem::Key(row.root)] = 3;
    std::string typedFolder = row.typed;
    if (typedFolder.back() == '\\')
      typedFolder.pop_back();
    r.files.AddFolder(typedFolder);
    r.files.AddFolder(FakeFileSystem::Parent(row.finalPath));
    EXPECT_TRUE(ValidateInstallPath(r.in, row.typed));
    EXPECT_EQ(r.state.InstallPath, row.finalPath);
    EXPECT_EQ(r.ui.Caption(kF, Ctl::txtInstallPath), row.finalPath);
  }
}

TEST(ValidateInstallPath, FolderEndingWithTheWordIsNoInstallation) {
  TestRig r;
  Startup(r.in);
  r.files.AddFolder("C:\\Apps");
  r.files.AddFolder("C:\\Apps\\MyCelvaraStudio");
  r.files.AddFile("C:\\Apps\\MyCelvaraStudio\\CelvaraStudio.exe");
  EXPECT_TRUE(ValidateInstallPath(r.in, "C:\\Apps\\MyCelvaraStudio"));
  EXPECT_TRUE(r.boxes.shown.empty());
  EXPECT_TRUE(r.files.Exists("C:\\Apps\\MyCelvaraStudio\\Charts\\Dual"));
}

TEST(ValidateInstallPath, LowerCaseInstallationIsFoundAndNotExtended) {
  TestRig r;
  Startup(r.in);
  r.files.AddFolder("C:\\Program Files");
  r.files.AddFolder("C:\\Program Files\\CelvaraStudio");
  r.files.AddFile("C:\\Program Files\\CelvaraStudio\\CelvaraStudio.exe");
  r.boxes.answers = {mb::kAnswerYes};
  EXPECT_TRUE(ValidateInstallPath(r.in, "c:\\program files\\celvarastudio"));
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, kBox1);
  EXPECT_EQ(r.state.InstallPath, "c:\\program files\\celvarastudio");
}

TEST(ValidateInstallPath, ProductWordAloneIsNotAnInstallationWithoutItsProgram) {
  TestRig r;
  Startup(r.in);
  r.files.AddFolder("C:\\Apps");
  r.files.AddFolder("C:\\Apps\\CelvaraStudio");
  r.files.AddFolder("C:\\Apps\\CelvaraStudio\\CelvaraStudio.exe");
  EXPECT_TRUE(ValidateInstallPath(r.in, "C:\\Apps"));
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ValidateInstallPath, ProductFolderBelowAMissingFolderIsNotCreated) {
  TestRig r;
  Startup(r.in);
  EXPECT_FALSE(ValidateInstallPath(r.in, "C:\\Program Files\\CelvaraStudio"));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError), "The directory path you typed in does not exist.");
  EXPECT_TRUE(r.files.created.empty());
}

TEST(ValidateInstallPath, UpgradeAnswerThenFreshFolderSwitchesFlagsButNotCaptions) {
  TestRig r;
  Startup(r.in);
  r.files.AddFolder("C:\\Apps");
  AddInstallation(r);
  r.files.AddFolder("C:\\Other");
  r.boxes.answers = {mb::kAnswerYes};
  ASSERT_TRUE(ValidateInstallPath(r.in, "C:\\Apps\\"));
  ASSERT_TRUE(r.state.UpgradeMode);

  EXPECT_TRUE(ValidateInstallPath(r.in, "C:\\Other\\"));
  EXPECT_FALSE(r.state.UpgradeMode);
  EXPECT_TRUE(r.state.FullInstallMode);
  EXPECT_EQ(r.state.InstallPath, "C:\\Other\\CelvaraStudio");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::cmdInstall), "UPGRADE");
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblTitle), kUpgradeTitle);
}

// Declining leaves no installation folder; an upgrade would not validate again, so the run must
// fall back to a full installation that does.
TEST(ValidateInstallPath, DeclinedAfterUpgradeAnswerFallsBackToFullInstallation) {
  TestRig r;
  Startup(r.in);
  r.files.AddFolder("C:\\Apps");
  AddInstallation(r);
  r.boxes.answers = {mb::kAnswerYes, mb::kAnswerNo, mb::kAnswerCancel};
  ASSERT_TRUE(ValidateInstallPath(r.in, "C:\\Apps\\"));
  EXPECT_FALSE(ValidateInstallPath(r.in, "C:\\Apps\\CelvaraStudio\\"));
  EXPECT_EQ(r.state.InstallPath, "");
  EXPECT_FALSE(r.state.UpgradeMode);
  EXPECT_TRUE(r.state.FullInstallMode);
  EXPECT_EQ(r.ui.Caption(kF, Ctl::cmdInstall), "UPGRADE");
}

}  // namespace
}  // namespace cvi::test
