// Paths in a double-byte code page: Wine started in a Japanese locale runs with code page 932,
// where the second byte of a character may be 0x5C, the byte of "\".
#include "Driver.h"
#include "platform/win32/Win32PlatformSet.h"

#include <gtest/gtest.h>

#include "app/Main.h"
#include "target/ValidateInstallPath.h"

namespace cvi {
namespace {

// "C:\表": 表 is 0x95 0x5C in code page 932.
const std::string kFolder = "C:\\\x95\x5C";

TEST(CodePage932, FolderEndingInTheBackslashByteIsAccepted) {
  ASSERT_EQ(GetACP(), 932u) << "the group must run in a Japanese locale (ja_JP.UTF-8 generated)";
  ASSERT_TRUE(win32::Win32FileSystem().IsLeadByte(0x95));
  for (const std::string& typed : {kFolder, kFolder + "\\"}) {
    SCOPED_TRACE(typed.size());
    e2e::DeleteTree(kFolder);
    ASSERT_TRUE(CreateDirectoryA(kFolder.c_str(), nullptr));
    InstallerState state;
    NullFormView view;
    Forms forms(view);
    class NoBoxes : public MessageBoxes {
      int Show(const std::string&, const std::string&, std::uint32_t) override { return 1; }
    } boxes;
    win32::Win32PlatformSet platform(boxes);
    Installer in{state, forms, platform.os};
    Startup(in);

    EXPECT_TRUE(ValidateInstallPath(in, typed))
        << forms.Caption(Form::frmInstall, Ctl::lblPathError);
    EXPECT_EQ(state.InstallPath, kFolder + "\\CelvaraStudio");
    EXPECT_EQ(platform.files.FindEntry(kFolder + "\\CelvaraStudio\\Charts\\Single",
                                       EntryKind::FolderOrFile),
              "Single");
  }
  e2e::DeleteTree(kFolder);
}

}  // namespace
}  // namespace cvi
