// Starting the installed product as the main loop does, from a folder with a space in its path.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"

namespace cvi {
namespace {

constexpr const char* kFolder = "C:\\Program Files\\CelvaraStudio";
constexpr const char* kProgram = "C:\\Program Files\\CelvaraStudio\\CelvaraStudio.exe";
constexpr const char* kLaunchLog = "C:\\Program Files\\CelvaraStudio\\launched.txt";
// Where an unquoted "C:\Program Files\..." command line would find a program to run.
constexpr const char* kDecoy = "C:\\Program.exe";
constexpr const char* kDecoyMarker = "C:\\decoy-ran.txt";
constexpr const char* kProductWindowClass = "CelvaraStudioSample";

class ProcessStartTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(e2e::CreateFolders(kFolder));
    ASSERT_TRUE(CopyFileA(e2e::SampleProductExe().c_str(), kProgram, FALSE))
        << e2e::SampleProductExe();
    ASSERT_TRUE(CopyFileA(e2e::DecoyProgramExe().c_str(), kDecoy, FALSE));
    DeleteFileA(kLaunchLog);
    DeleteFileA(kDecoyMarker);
  }
  void TearDown() override {
    // The product stays open until its window is closed; a running copy would keep its file
    // locked and the test's output pipe open.
    for (HWND product; (product = FindWindowA(kProductWindowClass, nullptr)) != nullptr;) {
      PostMessageA(product, WM_CLOSE, 0, 0);
      ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(product); }, 5000));
    }
    ASSERT_TRUE(e2e::WaitUntil([] { return DeleteFileA(kProgram) != FALSE; }, 5000));
    DeleteFileA(kDecoy);
    DeleteFileA(kDecoyMarker);
  }
};

TEST_F(ProcessStartTest, ProductGetsItsQuotedFolderAndTheDecoyNeverRuns) {
  const std::string commandLine = std::string("\"") + kProgram + "\" \"" + kFolder + "\"";
  win32::Win32Processes processes;
  ASSERT_TRUE(processes.Start(kProgram, commandLine, SW_SHOWNORMAL));

  ASSERT_TRUE(e2e::WaitUntil([] { return e2e::FileExists(kLaunchLog); }, 10000))
      << "the product did not run";
  std::string log;
  e2e::WaitUntil(
      [&] { return (log = e2e::ReadWholeFile(kLaunchLog)).find("arg1=") != std::string::npos; });
  EXPECT_EQ("cmdline=" + commandLine + "\r\narg1=" + kFolder + "\r\n", log);
  Sleep(300);  // a wrongly started decoy would have written its marker by now
  EXPECT_FALSE(e2e::FileExists(kDecoyMarker)) << e2e::ReadWholeFile(kDecoyMarker);
}

TEST_F(ProcessStartTest, MissingProgramIsReportedAndNothingRuns) {
  const std::string missing = "C:\\Program Files\\CelvaraStudio\\Missing.exe";
  win32::Win32Processes processes;
  EXPECT_FALSE(processes.Start(missing, "\"" + missing + "\" \"" + kFolder + "\"", SW_SHOWNORMAL));
  Sleep(300);
  EXPECT_FALSE(e2e::FileExists(kDecoyMarker));
}

}  // namespace
}  // namespace cvi
