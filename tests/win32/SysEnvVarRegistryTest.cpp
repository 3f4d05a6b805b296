// The machine-wide environment lookup against values that Wine's own reg.exe writes.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "Driver.h"
#include "platform/SysEnvVar.h"

namespace cvi {
namespace {

struct EnvRow {
  const char* label;
  const char* root;        // "HKLM" (the machine-wide block) or "HKCU" (the user's)
  const char* storedName;  // empty: nothing is written
  const char* type;        // reg.exe's type name
  const char* data;        // reg.exe's /d argument
  const char* lookupName;
  bool found;
  std::string expected;
};

void PrintTo(const EnvRow& row, std::ostream* out) {
  *out << row.label;
}

std::string KeyOf(const std::string& root) {
  return root == "HKLM" ? std::string("HKLM\\") + e2e::kSysEnvKey : root + "\\Environment";
}

// Written through reg.exe rather than the test's own registry calls, so that the values are
// stored exactly as an administrator's tools store them.
int RegAdd(const EnvRow& row) {
  return e2e::RunAndWait("reg.exe add \"" + KeyOf(row.root) + "\" /v " + row.storedName + " /t " +
                         row.type + " /d \"" + row.data + "\" /f");
}

int RegDelete(const EnvRow& row) {
  return e2e::RunAndWait("reg.exe delete \"" + KeyOf(row.root) + "\" /v " + row.storedName + " /f");
}

class SysEnvVarRegistryTest : public testing::TestWithParam<EnvRow> {};

TEST_P(SysEnvVarRegistryTest, ReadsTheStoredValue) {
  const EnvRow& row = GetParam();
  if (*row.storedName != '\0') {
    ASSERT_EQ(0, RegAdd(row)) << "reg.exe add failed";
  }

  win32::Win32Registry registry;
  std::string value = "untouched";
  const bool found = GetSysEnvVar(registry, row.lookupName, value);
  EXPECT_EQ(row.found, found);
  EXPECT_EQ(row.found ? row.expected : std::string("untouched"), value);
  EXPECT_EQ(row.found, SysEnvVarExists(registry, row.lookupName));

  if (*row.storedName != '\0') {
    EXPECT_EQ(0, RegDelete(row));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values,
    SysEnvVarRegistryTest,
    testing::Values(EnvRow{"Folder", "HKLM", "CvTestFolder", "REG_SZ", "C:\\Apps\\CelvaraStudio",
                           "CvTestFolder", true, "C:\\Apps\\CelvaraStudio"},
                    EnvRow{"EmptyString", "HKLM", "CvTestEmpty", "REG_SZ", "", "CvTestEmpty", true,
                           ""},
                    EnvRow{"ExpandableStaysUnexpanded", "HKLM", "CvTestExpand", "REG_EXPAND_SZ",
                           "%SystemDrive%\\CelvaraStudio", "CvTestExpand", true,
                           "%SystemDrive%\\CelvaraStudio"},
                    EnvRow{"DwordGivesThreeCharacters", "HKLM", "CvTestDword", "REG_DWORD",
                           "0x00434241", "CvTestDword", true, "ABC"},
                    EnvRow{"BinaryKeepsEmbeddedNul", "HKLM", "CvTestBinary", "REG_BINARY",
                           "41420043", "CvTestBinary", true, std::string("AB\0", 3)},
                    EnvRow{"BinaryWithoutDataIsEmpty", "HKLM", "CvTestNoData", "REG_BINARY", "",
                           "CvTestNoData", true, ""},
                    EnvRow{"NameInOtherCase", "HKLM", "CvTestCase", "REG_SZ", "D:\\Mixed",
                           "CVTESTCASE", true, "D:\\Mixed"},
                    EnvRow{"UserVariableIsNotSeen", "HKCU", "CvTestUserOnly", "REG_SZ", "C:\\User",
                           "CvTestUserOnly", false, ""},
                    EnvRow{"MissingIsNotFound", "HKLM", "", "", "", "CvTestMissing", false, ""}),
    [](const testing::TestParamInfo<EnvRow>& info) { return std::string(info.param.label); });

TEST(SysEnvVarProcessEnvironment, VariableOfTheProcessOnlyIsNotFound) {
  ASSERT_TRUE(SetEnvironmentVariableA("CvTestProcessOnly", "C:\\Process"));
  win32::Win32Registry registry;
  std::string value;
  EXPECT_FALSE(GetSysEnvVar(registry, "CvTestProcessOnly", value));
  SetEnvironmentVariableA("CvTestProcessOnly", nullptr);
}

}  // namespace
}  // namespace cvi
