// The package requests: names, addresses, the wait cursor and the one message for each outcome.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "ExpectedTexts.h"
#include "download/PackageRequest.h"

namespace cvi::test {
namespace {

const std::string kEmail = kSupportEmail;
const std::string kFullUrl = std::string(kDownloadBaseUrl) + "CelvaraStudio_v3.9.exe";
const std::string kFullPath = "C:\\Apps\\CelvaraStudio\\CelvaraStudio_v3.9.exe";

// A rig that keeps each change to lblDownLoadError, with the mouse pointer at that moment.
struct Rig : TestRig {
  struct Change {
    Property property;
    std::string caption;
    bool visible;
    int pointer;
  };
  std::vector<Change> changes;

  Rig() {
    files.AddFolder("C:\\Apps");
    files.AddFolder("C:\\Apps\\CelvaraStudio");
    state.InstallPath = "C:\\Apps\\CelvaraStudio";
    screen.pointer = 99;  // whatever the pointer was before
    view.onUpdate = [this](Form form, Ctl ctl, Property property, const ControlState& c) {
      if (form == Form::frmInstall && ctl == Ctl::lblDownLoadError) {
        changes.push_back({property, c.caption, c.visible, screen.pointer});
      }
    };
  }
  std::string ErrorCaption() { return ui.Caption(Form::frmInstall, Ctl::lblDownLoadError); }
  bool ErrorVisible() { return ui.Visible(Form::frmInstall, Ctl::lblDownLoadError); }
};

struct MessageRow {
  const char* name;
  int code;
  std::string caption;
};

const MessageRow kMessageRows[] = {
    {"NoSession", 1,
     "Sorry, download not successful (Windows could not allocate internet resouces).  We suggest "
     "you try clicking 'Install' again. This error should not occur."},
    {"NotRetrieved", 2,
     "Sorry, download not successful; could not retrieve the URL: \r     http://x/y.exe\rPlease "
     "verify that you have a good internet connection, and try again; if it still fails, please "
     "contact " +
         kEmail + " and inform him of this URL error."},
    {"IoError", 3,
     "Download I/O error.  Please try again; it could be an intermittent internet-connection "
     "problem. If it still fails, please contact " +
         kEmail + " and inform him of this 'I/O Error' message."},
    {"ReadError", 4,
     "Down 'Read' error.  Please try again; it could be an intermittent internet-connection "
     "problem. If it still fails, please contact " +
         kEmail + " and inform him of this 'Read Error' message."},
    {"Cancelled", 5, "Download CANCEL by user request."},
    {"UnknownCodeIsACancel", 6, "Download CANCEL by user request."},
    {"NegativeCodeIsACancel", -1, "Download CANCEL by user request."},
};

class FailureMessages : public testing::TestWithParam<MessageRow> {};

TEST_P(FailureMessages, ToTheCharacter) {
  EXPECT_EQ(DownloadFailureMessage(static_cast<DownloadResult>(GetParam().code), "http://x/y.exe"),
            GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(Codes,
                         FailureMessages,
                         testing::ValuesIn(kMessageRows),
                         [](const testing::TestParamInfo<MessageRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(PackageRequest, FullPackageArrives) {
  Rig r;
  r.state.UpgradePackageName = "untouched";
  r.internet.length = 2500;
  EXPECT_TRUE(DownloadFullPackage(r.in));
  EXPECT_EQ(r.state.FullPackageName, "CelvaraStudio_v3.9.exe");
  EXPECT_EQ(r.state.UpgradePackageName, "untouched");
  EXPECT_EQ(r.internet.url, kFullUrl);
  ASSERT_TRUE(r.files.Exists(kFullPath));
  EXPECT_EQ(r.files.Get(kFullPath)->data.size(), 2500u);
  EXPECT_EQ(r.ErrorCaption(), "");
  EXPECT_FALSE(r.ErrorVisible());
  EXPECT_EQ(r.screen.history, (std::vector<int>{11, 99}));
}

TEST(PackageRequest, UpgradePackageArrives) {
  Rig r;
  r.state.FullPackageName = "untouched";
  r.internet.length = 2500;
  EXPECT_TRUE(DownloadUpgradePackage(r.in));
  EXPECT_EQ(r.state.UpgradePackageName, "CelvaraStudio_Upgrade_v3.9.exe");
  EXPECT_EQ(r.state.FullPackageName, "untouched");
  EXPECT_EQ(r.internet.url, std::string(kDownloadBaseUrl) + "CelvaraStudio_Upgrade_v3.9.exe");
  EXPECT_TRUE(r.files.Exists("C:\\Apps\\CelvaraStudio\\CelvaraStudio_Upgrade_v3.9.exe"));
}

TEST(PackageRequest, ShortReplyQuotesTheWholeUrl) {
  Rig r;
  r.internet.length = 999;
  EXPECT_FALSE(DownloadFullPackage(r.in));
  EXPECT_EQ(r.ErrorCaption(),
            "Sorry, download not successful; could not retrieve the URL: \r     " + kFullUrl +
                "\rPlease verify that you have a good internet connection, and "
                "try again; if it still fails, please contact " +
                kEmail + " and inform him of this URL error.");
  EXPECT_TRUE(r.ErrorVisible());
}

TEST(PackageRequest, PackageHiddenAfterTransferCountsAsMissing) {
  Rig r;
  r.internet.length = 2500;
  r.events.AtYield(
      1, [&] { r.files.entries[FakeFileSystem::Key(PartialPathOf(kFullPath))].hidden = true; });
  EXPECT_FALSE(DownloadFullPackage(r.in));
  EXPECT_EQ(r.ErrorCaption(), "Download unsuccessful; installation file not found: \r      " +
                                  kFullPath + "\rPlease contact " + kEmail +
                                  " and inform him of the 'not found' file above.");
  EXPECT_TRUE(r.ErrorVisible());
  EXPECT_EQ(r.files.lookups.back(), kFullPath);
}

TEST(PackageRequest, EarlierMessageIsHiddenThenClearedBeforeTheTransfer) {
  Rig r;
  r.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, "an earlier failure");
  r.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, true);
  r.changes.clear();
  r.internet.length = 5000;
  bool hiddenAndEmpty = false;
  r.events.AtYield(1, [&] { hiddenAndEmpty = !r.ErrorVisible() && r.ErrorCaption().empty(); });
  EXPECT_TRUE(DownloadFullPackage(r.in));
  EXPECT_TRUE(hiddenAndEmpty);
  ASSERT_EQ(r.changes.size(), 2u);
  EXPECT_EQ(r.changes[0].property, Property::Visible);
  EXPECT_EQ(r.changes[1].property, Property::Caption);
}

TEST(PackageRequest, CursorIsRestoredBeforeTheMessageThenCaptionThenVisible) {
  Rig r;
  r.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, "");
  r.changes.clear();
  r.internet.sessionOpens = false;
  EXPECT_FALSE(DownloadFullPackage(r.in));
  ASSERT_EQ(r.changes.size(), 2u);
  EXPECT_EQ(r.changes[0].property, Property::Caption);
  EXPECT_EQ(r.changes[0].pointer, 99);
  EXPECT_EQ(r.changes[1].property, Property::Visible);
  EXPECT_TRUE(r.changes[1].visible);
  EXPECT_EQ(r.screen.history, (std::vector<int>{11, 99}));
}

TEST(PackageRequest, CancelReplacesTheNoticeAtItsSize) {
  Rig r;
  r.internet.length = 50000;
  r.events.AtYield(2, [&] { r.state.CancelRequested = true; });
  EXPECT_FALSE(DownloadFullPackage(r.in));
  EXPECT_EQ(r.ErrorCaption(), "Download CANCEL by user request.");
  EXPECT_EQ(r.ui.FontSize(Form::frmInstall, Ctl::lblDownLoadError), 18);
  EXPECT_TRUE(r.ErrorVisible());
  EXPECT_FALSE(r.files.Exists(kFullPath));
}

// Only the package the installer was built for is kept, and it stays held for the extraction.
TEST(PackageRequest, PackageMustCarryItsPinnedDigest) {
  struct Case {
    const char* name;
    bool upgrade, tampered;
  };
  for (const Case& c : {Case{"Full", false, false}, Case{"Upgrade", true, false},
                        Case{"FullTampered", false, true}, Case{"UpgradeTampered", true, true}}) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.internet.length = 2500;
    const std::string path =
        c.upgrade ? "C:\\Apps\\CelvaraStudio\\CelvaraStudio_Upgrade_v3.9.exe" : kFullPath;
    if (c.tampered)
      r.files.tampered.insert(FakeFileSystem::Key(path));
    EXPECT_EQ(c.upgrade ? DownloadUpgradePackage(r.in) : DownloadFullPackage(r.in), !c.tampered);
    EXPECT_EQ(r.files.Exists(path), !c.tampered);
    EXPECT_FALSE(r.files.Exists(PartialPathOf(path)));
    EXPECT_EQ(r.files.held, c.tampered ? 0 : 1);
    EXPECT_EQ(r.state.HeldPackage != nullptr, !c.tampered);
    EXPECT_EQ(r.ErrorVisible(), c.tampered);
    EXPECT_EQ(r.ErrorCaption(), c.tampered ? expected::kVerification : "");
  }
}

// A file of the package's name that another program holds, before the download or when it is to
// be named, a drive without room for the announced body, a folder that cannot take the file and a
// reply that is not the package's length are said plainly; nothing of the download is left behind.
TEST(PackageRequest, FilesInUseAndAFullDriveAreSaidPlainly) {
  const std::string ioError = DownloadFailureMessage(DownloadResult::DownloadIoError, "") + "\r";
  const std::string inUse = ioError + "Another program is using the installation file \r      " +
                            kFullPath +
                            "\rIt may be the installation of an earlier attempt that is still "
                            "open. Please close that program and click 'Install' again.";
  const std::string noRoom =
      ioError +
      "Not enough disk space: the installation file needs 50000 bytes, but the drive of \r      "
      "C:\\Apps\\CelvaraStudio\rhas 49999 bytes free. Please make room on that drive and click "
      "'Install' again.";
  const std::string folderGone =
      ioError +
      "The installation folder \r      C:\\Apps\\CelvaraStudio\rcannot be written to: it may "
      "have been removed, renamed or made read-only, or its drive may be full. Please check the "
      "folder and click 'Install' again.";
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    bool arrives;
    std::string caption;
    bool packageNamed;  // a file of the package's name is there afterwards
  } cases[] = {
      {"HeldBeforeTheDownload",
       [](Rig& r) {
         r.files.AddFile(kFullPath, false, "stale");
         r.files.busy[FakeFileSystem::Key(kFullPath)] = 1000;
       },
       false, inUse, true},
      {"TakenDuringTheDownload",
       [](Rig& r) {
         r.events.AtYield(1, [&r] { r.files.busy[FakeFileSystem::Key(kFullPath)] = 1000; });
       },
       false, inUse, false},
      {"LetGoSoonAfterTheDownload",
       [](Rig& r) {
         r.events.AtYield(1, [&r] { r.files.busy[FakeFileSystem::Key(kFullPath)] = 20; });
       },
       true, "", true},
      {"DriveTooFull",
       [](Rig& r) {
         r.internet.announced = kFullPackageSize;
         r.files.freeSpace = kFullPackageSize - 1;
       },
       false, noRoom, false},
      {"FolderGone",
       [](Rig& r) { r.files.failOpen.insert(FakeFileSystem::Key(PartialPathOf(kFullPath))); },
       false, folderGone, false},
      {"AnotherLengthAnnounced", [](Rig& r) { r.internet.announced = 2500; }, false,
       expected::kVerification, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.internet.length = 2500;
    c.arrange(r);
    EXPECT_EQ(DownloadFullPackage(r.in), c.arrives);
    EXPECT_EQ(r.ErrorCaption(), c.caption);
    EXPECT_EQ(r.ErrorVisible(), !c.arrives);
    EXPECT_EQ(r.files.Exists(kFullPath), c.packageNamed);
    EXPECT_FALSE(r.files.Exists(PartialPathOf(kFullPath)));
    EXPECT_EQ(r.files.held, c.arrives ? 1 : 0);
  }
}

// The installer's own time limit is a cause too (the Win32 download tests meet the network's);
// a short web page is named as one, an error page is not.
TEST(PackageRequest, FailuresSayWhatHappened) {
  const std::string notRetrieved =
      DownloadFailureMessage(DownloadResult::DownloadNotRetrieved, kFullUrl);
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::string caption;
  } cases[] = {
      {"ServerNeverAnswers", [](Rig& r) { r.internet.replyStalls = true; },
       notRetrieved + "\rThe server did not answer in time."},
      {"ErrorPageIsNoSignInPage",
       [](Rig& r) {
         r.internet.status = 404;
         r.internet.contentType = "text/html";
       },
       notRetrieved},
      {"ShortWebPage",
       [](Rig& r) {
         r.internet.length = 900;
         r.internet.contentType = "Text/HTML; charset=utf-8";
       },
       notRetrieved + expected::kSignInPage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.internet.length = 2500;
    c.arrange(r);
    EXPECT_FALSE(DownloadFullPackage(r.in));
    EXPECT_EQ(r.ErrorCaption(), c.caption);
    EXPECT_FALSE(r.files.Exists(PartialPathOf(kFullPath)));
  }
}

}  // namespace
}  // namespace cvi::test
