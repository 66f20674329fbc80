#include "child/registry_marks.h"

#include <gtest/gtest.h>

namespace {

struct MarksRow {
  const wchar_t* commandLine;
  bool customerType;
  DWORD customerTypeValue;
  bool kernelMode;
};

class KernelModeMarksTest : public testing::TestWithParam<MarksRow> {};

TEST_P(KernelModeMarksTest, Decision) {
  const MarksRow& row = GetParam();
  const KernelModeMarks marks = KernelModeMarksFor(row.commandLine);
  EXPECT_EQ(marks.writeCustomerType, row.customerType) << row.commandLine;
  if (row.customerType) EXPECT_EQ(marks.customerType, row.customerTypeValue) << row.commandLine;
  EXPECT_EQ(marks.writeKernelMode, row.kernelMode) << row.commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Table, KernelModeMarksTest,
    testing::Values(MarksRow{L"-KM -mode2", true, 2, true},
                    MarksRow{L"-km -mode2", true, 2, true},
                    MarksRow{L"-KM -mode 2", true, 2, true},
                    MarksRow{L"-mode 3 -KM", true, 3, true},
                    MarksRow{L"-KM -modex", true, 0, true},
                    MarksRow{L"-KM -mode", true, 0, true},
                    MarksRow{L"-KM -mode-7", true, 0xFFFFFFF9u, true},
                    // Only the first "-mode" counts; the number ends at the first non-digit.
                    MarksRow{L"-KM -mode12x -mode5", true, 12, true},
                    MarksRow{L"-km", false, 0, true},
                    MarksRow{L"-KM", false, 0, true},
                    // Neither spelling matches; "-mode" alone writes nothing either.
                    MarksRow{L"-Km -mode2", false, 0, false},
                    MarksRow{L"-kM", false, 0, false},
                    MarksRow{L"-mode2", false, 0, false},
                    MarksRow{L"-KM -MODE2", false, 0, true},
                    MarksRow{L"", false, 0, false}));

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";

bool KeyExists() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

struct DwordValue {
  bool present;
  DWORD type;
  DWORD size;
  DWORD data;
};

DwordValue ReadValue(const wchar_t* name) {
  DwordValue value = {false, 0, sizeof(DWORD), 0};
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  value.present = RegQueryValueExW(key, name, nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(&value.data), &value.size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return value;
}

// The driver's service key does not exist in the test prefix; the cases that need it make it and
// remove it again.
class RegistryMarksTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(KeyExists()) << "the test prefix already has the kernel-mode service key";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
    EXPECT_FALSE(KeyExists());
  }
  static void MakeKey() {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void ExpectDword(const wchar_t* name, DWORD data) {
    const DwordValue value = ReadValue(name);
    ASSERT_TRUE(value.present) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(value.size, 4u) << name;
    EXPECT_EQ(value.data, data) << name;
  }
};

TEST_F(RegistryMarksTest, KernelModeWithModeWritesBoth) {
  MakeKey();
  WriteKernelModeMarks(L"-km -mode2");
  ExpectDword(L"CustomerType", 2);
  ExpectDword(L"KM", 1);
}

TEST_F(RegistryMarksTest, BlankBeforeTheNumberIsSkipped) {
  MakeKey();
  WriteKernelModeMarks(L"-s1 -KM -mode 3");
  ExpectDword(L"CustomerType", 3);
  ExpectDword(L"KM", 1);
}

TEST_F(RegistryMarksTest, LetterAfterModeStoresZero) {
  MakeKey();
  WriteKernelModeMarks(L"-KM -modeA");
  ExpectDword(L"CustomerType", 0);
  ExpectDword(L"KM", 1);
}

TEST_F(RegistryMarksTest, WithoutModeAnExistingCustomerTypeStays) {
  MakeKey();
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const DWORD seven = 7;
  RegSetValueExW(key, L"CustomerType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4);
  RegCloseKey(key);
  WriteKernelModeMarks(L"-km");
  ExpectDword(L"CustomerType", 7);
  ExpectDword(L"KM", 1);
}

TEST_F(RegistryMarksTest, NoKernelModeSwitchWritesNothing) {
  MakeKey();
  for (const wchar_t* line : {L"-Km -mode2", L"-mode2", L""}) {
    WriteKernelModeMarks(line);
    EXPECT_FALSE(ReadValue(L"KM").present) << line;
    EXPECT_FALSE(ReadValue(L"CustomerType").present) << line;
  }
}

TEST_F(RegistryMarksTest, MissingServiceKeyIsNotCreated) {
  WriteKernelModeMarks(L"-KM -mode2");
  EXPECT_FALSE(KeyExists());
}

}  // namespace
