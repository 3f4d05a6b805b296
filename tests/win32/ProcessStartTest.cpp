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

// A start that takes 3 s, as when a virus scanner looks at a new program first: meanwhile it asks
// the test's window for an answer every 100 ms, from the thread that starts the program.
HWND gAskedWindow = nullptr;
int gAnswers = 0;
DWORD gStartingThread = 0;
BOOL WINAPI SlowCreateProcess(LPCSTR program,
                              LPSTR commandLine,
                              LPSECURITY_ATTRIBUTES processAttributes,
                              LPSECURITY_ATTRIBUTES threadAttributes,
                              BOOL inherit,
                              DWORD flags,
                              LPVOID environment,
                              LPCSTR folder,
                              LPSTARTUPINFOA startup,
                              LPPROCESS_INFORMATION info) {
  gStartingThread = GetCurrentThreadId();
  for (int i = 0; i < 30; ++i, Sleep(100)) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(gAskedWindow, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer))
      ++gAnswers;
  }
  return CreateProcessA(program, commandLine, processAttributes, threadAttributes, inherit, flags,
                        environment, folder, startup, info);
}

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

// The package starts on a thread of its own, and the window's thread answers its window all the
// while.
TEST_F(ProcessStartTest, WindowAnswersWhileAStartTakesThreeSeconds) {
  win32::WindowHandle window(
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  gAskedWindow = window.Get();
  win32::Win32Processes processes(SlowCreateProcess);
  win32::Win32EventPump events;
  const std::string commandLine = std::string("\"") + kProgram + "\" \"" + kFolder + "\"";
  const auto started = processes.Launch(kProgram, commandLine, SW_SHOWNORMAL, events);
  ASSERT_NE(started, nullptr);
  EXPECT_NE(gStartingThread, GetCurrentThreadId());
  EXPECT_EQ(gAnswers, 30);
  EXPECT_TRUE(e2e::WaitUntil([] { return FindWindowA(kProductWindowClass, nullptr); }));
}

TEST_F(ProcessStartTest, MissingProgramIsReportedAndNothingRuns) {
  const std::string missing = "C:\\Program Files\\CelvaraStudio\\Missing.exe";
  win32::Win32Processes processes;
  EXPECT_FALSE(processes.Start(missing, "\"" + missing + "\" \"" + kFolder + "\"", SW_SHOWNORMAL));
  win32::Win32EventPump events;
  Processes::StartError error;
  EXPECT_EQ(processes.Launch(missing, "\"" + missing + "\"", SW_SHOWNORMAL, events, &error),
            nullptr);
  EXPECT_EQ(error.code, 2u);
  Sleep(300);
  EXPECT_FALSE(e2e::FileExists(kDecoyMarker));
}

}  // namespace
}  // namespace cvi
