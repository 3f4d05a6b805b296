// Reading a machine-wide environment variable through the registry's size probe and read.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "platform/SysEnvVar.h"

namespace cvi::test {
namespace {

constexpr std::uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4;

TEST(SysEnvVar, ValueTypes) {
  struct Row {
    const char* name;
    std::uint32_t type;
    std::string data;
    std::string expected;
  };
  const Row rows[] = {
      {"string", kRegSz, std::string("C:\\Apps\\CelvaraStudio") + '\0', "C:\\Apps\\CelvaraStudio"},
      {"empty string", kRegSz, std::string(1, '\0'), ""},
      {"expandable stays unexpanded", kRegExpandSz,
       std::string("%SystemDrive%\\CelvaraStudio") + '\0', "%SystemDrive%\\CelvaraStudio"},
      {"dword gives its first three bytes", kRegDword, std::string("ABC\0", 4), "ABC"},
      {"embedded NULs are kept", kRegBinary, std::string("a\0b\0", 4), std::string("a\0b", 3)},
      {"no data at all", kRegBinary, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeRegistry reg;
    reg.Set("CelvaraStudio", row.type, row.data);
    std::string value = "untouched";
    EXPECT_TRUE(GetSysEnvVar(reg, "CelvaraStudio", value));
    EXPECT_EQ(value, row.expected);
    EXPECT_TRUE(SysEnvVarExists(reg, "CelvaraStudio"));
    EXPECT_EQ(reg.openKeys, 0) << "key left open";
  }
}

TEST(SysEnvVar, NameInOtherLetterCaseIsFound) {
  FakeRegistry reg;
  reg.Set("CelvaraStudio", kRegSz, std::string("X") + '\0');
  std::string value;
  EXPECT_TRUE(GetSysEnvVar(reg, "CELVARASTUDIO", value));
  EXPECT_EQ(value, "X");
}

TEST(SysEnvVar, FailuresLeaveTheTextAlone) {
  struct Row {
    const char* name;
    long openStatus;
    bool present;
    bool growsAfterProbe;
  };
  const Row rows[] = {
      {"key cannot be opened", 5, true, false},
      {"variable missing", Registry::kSuccess, false, false},
      {"value grows between probe and read", Registry::kSuccess, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeRegistry reg;
    reg.openStatus = row.openStatus;
    if (row.present)
      reg.Set("CelvaraStudio", kRegSz, std::string("C:\\A") + '\0');
    if (row.growsAfterProbe) {
      reg.afterProbe = [&reg] {
        reg.Set("CelvaraStudio", kRegSz, std::string("C:\\Longer") + '\0');
      };
    }
    std::string value = "untouched";
    EXPECT_FALSE(GetSysEnvVar(reg, "CelvaraStudio", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(reg.openKeys, 0) << "key left open";
  }
}

}  // namespace
}  // namespace cvi::test
