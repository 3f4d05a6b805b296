// The folder dialog's answer: the chosen folder's path, ending in exactly one "\".
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <thread>

#include "Driver.h"

namespace cvi {
namespace {

constexpr int kStatusLine = 14147;

// Answers the dialog that this process opens: selects `folder` (none: keeps the start folder),
// waits until the status line shows it, then presses OK.
void ChooseInDialog(const std::string& folder, bool* chosen) {
  HWND dialog = e2e::WaitForWindow("Browse for Folder", GetCurrentProcessId(), 10000);
  if (!dialog)
    return;
  const std::string shown = folder.empty() ? "C:\\" : folder;
  *chosen = e2e::WaitUntil([&] {
    if (!folder.empty())
      SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
    return e2e::WindowText(e2e::FindChildById(dialog, kStatusLine)) == shown;
  });
  PostMessageA(dialog, WM_COMMAND, *chosen ? IDOK : IDCANCEL, 0);
}

TEST(FolderBrowser, ChosenFolderEndsInOneBackslash) {
  const std::pair<std::string, std::string> rows[] = {{"C:\\windows", "C:\\windows\\"},
                                                      {"", "C:\\"}};
  for (const auto& [folder, expected] : rows) {
    SCOPED_TRACE(folder);
    bool chosen = false;
    std::thread user(ChooseInDialog, folder, &chosen);
    win32::Win32FolderBrowser browser;
    const std::string answer = browser.BrowseForFolder("Choose", "C:\\", [] { return true; });
    user.join();
    ASSERT_TRUE(chosen) << "the dialog did not show the selection";
    EXPECT_EQ(answer, expected);
  }
}

}  // namespace
}  // namespace cvi
