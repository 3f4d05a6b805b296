// Path validation on the real file system and drives: every drive kind the rig maps, a missing
// letter, a share name and a typed path that is an ordinary file.
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <string>

#include "Driver.h"
#include "app/Main.h"
#include "host/Doubles.h"
#include "target/ValidateInstallPath.h"

namespace cvi::e2e {
namespace {

constexpr Form kF = Form::frmInstall;

// The logic with the real file system and drives; the windows and boxes are doubles.
struct RealFilesRig : test::TestRig {
  win32::Win32FileSystem realFiles;
  Platform realOs{realFiles, registry, internet, boxes,     events,  processes,
                  screen,    browser,  windows,  clipboard, keyboard};
  Installer real{state, ui, realOs};
  RealFilesRig() { Startup(real); }
};

struct DriveRow {
  const char* path;
  int type;
  const char* text;
};

TEST(TargetDriveType, DriveTypesOfTheRig) {
  const DriveRow rows[] = {
      {"R:\\", 5, "CD-rom drive"},
      {"A:\\", 2, "removable disk (floppy, USB, etc.)"},
      {"N:\\", 4, "Network (remote) drive"},
      {"M:\\", 6, "RAM disk"},
      {"Q:\\", 1, "non-existent disk-drive"},
      {"\\\\server\\share\\", 1, "non-existent disk-drive"},
  };
  for (const DriveRow& row : rows) {
    SCOPED_TRACE(row.path);
    RealFilesRig r;
    EXPECT_FALSE(ValidateInstallPath(r.real, row.path));
    EXPECT_EQ(r.state.DriveType, row.type);
    EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError),
              std::string("Invalid installation Path. The drive is: ") + row.text);
  }
}

TEST(TargetDriveType, FixedDriveIsAccepted) {
  const std::string chosen = "C:\\TargetE2E\\RealFiles";
  DeleteTree(chosen);
  ASSERT_TRUE(CreateFolders(chosen));
  RealFilesRig r;
  EXPECT_TRUE(ValidateInstallPath(r.real, chosen + "\\"));
  EXPECT_EQ(r.state.DriveType, 3);
  EXPECT_EQ(r.state.InstallPath, chosen + "\\CelvaraStudio");
  EXPECT_NE(GetFileAttributesA((chosen + "\\CelvaraStudio\\Charts\\Dual").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(TargetDriveType, TypedOrdinaryFileCannotHoldTheProductFolder) {
  const std::string folder = "C:\\TargetE2E\\TypedFile";
  DeleteTree(folder);
  ASSERT_TRUE(CreateFolders(folder));
  ASSERT_TRUE(WriteWholeFile(folder + "\\notes.txt", "text"));
  RealFilesRig r;
  EXPECT_FALSE(ValidateInstallPath(r.real, folder + "\\notes.txt"));
  EXPECT_EQ(r.ui.Caption(kF, Ctl::lblPathError),
            "Unable to create 'CelvaraStudio' subdirectory. Make sure you have 'write' "
            "priveleges on the disk drive.");
  EXPECT_EQ(r.state.InstallPath, folder + "\\notes.txt\\CelvaraStudio");
}

}  // namespace
}  // namespace cvi::e2e
