// Paths in a double-byte code page: Wine started in a Japanese locale runs with code page 932,
// where the second byte of a character may be 0x5C, the byte of "\".
#include "Driver.h"

#include <gtest/gtest.h>

#include "core/Main.h"
#include "target/ValidateInstallPath.h"

namespace cvi {
namespace {

class NoView : public FormView {
 public:
  void Create(const FormDesign&, const std::vector<ControlState>&) override {}
  void Destroy(Form) override {}
  void Show(Form, bool) override {}
  void Update(Form, Ctl, Property, const ControlState&) override {}
};

// "C:\表": 表 is 0x95 0x5C in code page 932.
const std::string kFolder = "C:\\\x95\x5C";

TEST(CodePage932, FolderEndingInTheBackslashByteIsAccepted) {
  ASSERT_EQ(GetACP(), 932u) << "the group must run in a Japanese locale (ja_JP.UTF-8 generated)";
  win32::Win32FileSystem files;
  ASSERT_TRUE(files.IsLeadByte(0x95));
  for (const std::string& typed : {kFolder, kFolder + "\\"}) {
    SCOPED_TRACE(typed.size());
    e2e::DeleteTree(kFolder);
    ASSERT_TRUE(CreateDirectoryA(kFolder.c_str(), nullptr));
    InstallerState state;
    NoView view;
    Forms forms(view);
    win32::Win32Registry registry;
    win32::Win32Internet internet;
    win32::Win32EventPump events;
    win32::Win32Processes processes;
    win32::Win32Screen screen;
    win32::Win32FolderBrowser browser;
    win32::Win32Windows windows;
    win32::Win32Clipboard clipboard;
    win32::Win32Keyboard keyboard;
    class NoBoxes : public MessageBoxes {
      int Show(const std::string&, const std::string&, std::uint32_t) override { return 1; }
    } boxes;
    Platform os{files,  registry, internet, boxes,     events,  processes,
                screen, browser,  windows,  clipboard, keyboard};
    Installer in{state, forms, os};
    Startup(in);

    EXPECT_TRUE(ValidateInstallPath(in, typed))
        << forms.Caption(Form::frmInstall, Ctl::lblPathError);
    EXPECT_EQ(state.InstallPath, kFolder + "\\CelvaraStudio");
    EXPECT_EQ(files.FindEntry(kFolder + "\\CelvaraStudio\\Charts\\Single", EntryKind::FolderOrFile),
              "Single");
  }
  e2e::DeleteTree(kFolder);
}

}  // namespace
}  // namespace cvi
