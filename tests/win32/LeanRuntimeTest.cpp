// The lean runtime of the shipped programs: memory that runs out and a library precondition that
// is broken end the process with a message that names the failure, never with undefined behaviour.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"
#include "E2ePaths.h"

namespace cvi {
namespace {

TEST(LeanRuntime, FailuresEndTheProcessWithAMessage) {
  struct Case {
    const char* mode;
    const char* text;
  } const cases[] = {{"memory", "The probe stopped: out of memory"},
                     {"string", "The probe stopped: basic_string::_M_create"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    e2e::Process probe;
    ASSERT_TRUE(probe.Start(e2e::ToWindowsPath(CVI_E2E_LEAN_RUNTIME_PROBE_EXE) + " " + c.mode));
    HWND box = e2e::WaitForMessageBox("Lean runtime probe", probe.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), c.text);
    e2e::AnswerMessageBox(box, IDOK);
    DWORD exitCode = 0;
    ASSERT_TRUE(probe.WaitForExit(10000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
  }
}

}  // namespace
}  // namespace cvi
