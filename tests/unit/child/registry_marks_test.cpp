#include "child/registry_marks.h"

#include <gtest/gtest.h>

#include "scratch_folder.h"
#include "test_registry.h"

namespace {

TEST(KernelModeMarks, Decision) {
  const struct { const wchar_t* commandLine; bool customerType; DWORD value; bool kernelMode; } rows[] = {
      {L"-KM -mode2", true, 2, true},   {L"-km -mode2", true, 2, true},
      {L"-KM -mode 2", true, 2, true},  {L"-mode 3 -KM", true, 3, true},
      {L"-KM -modex", true, 0, true},   {L"-KM -mode", true, 0, true},
      {L"-KM -mode-7", true, 0xFFFFFFF9u, true},
      // Only the first "-mode" counts; the number ends at the first non-digit.
      {L"-KM -mode12x -mode5", true, 12, true},
      {L"-km", false, 0, true},         {L"-KM", false, 0, true},
      // Neither spelling matches; "-mode" alone writes nothing either.
      {L"-Km -mode2", false, 0, false}, {L"-kM", false, 0, false},
      {L"-mode2", false, 0, false},     {L"-KM -MODE2", false, 0, true},
      {L"", false, 0, false},
  };
  for (const auto& row : rows) {
    const KernelModeMarks marks = KernelModeMarksFor(row.commandLine);
    EXPECT_EQ(marks.writeCustomerType, row.customerType) << row.commandLine;
    if (row.customerType) EXPECT_EQ(marks.customerType, row.value) << row.commandLine;
    EXPECT_EQ(marks.writeKernelMode, row.kernelMode) << row.commandLine;
  }
}

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";

// "absent", or the value as "type/size/number".
std::string Dword(const wchar_t* name) {
  const testreg::RegValue value = testreg::ReadValue(HKEY_LOCAL_MACHINE, kServiceKey, name);
  if (!value.present) return "absent";
  DWORD number = 0;
  if (value.data.size() == 4) number = *reinterpret_cast<const DWORD*>(value.data.data());
  return std::to_string(value.type) + "/" + std::to_string(value.data.size()) + "/" + std::to_string(number);
}

// The driver's service key does not exist in the test prefix; each row makes it and removes it.
TEST(RegistryMarks, WrittenIntoTheServiceKey) {
  ASSERT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kServiceKey)) << "the test prefix already has the kernel-mode service key";
  const DWORD seven = 7;
  const struct { const wchar_t* commandLine; bool seedSeven; const char* customerType; const char* km; } rows[] = {
      {L"-km -mode2", false, "4/4/2", "4/4/1"},
      {L"-s1 -KM -mode 3", false, "4/4/3", "4/4/1"},
      {L"-KM -modeA", false, "4/4/0", "4/4/1"},
      {L"-km", true, "4/4/7", "4/4/1"},  // without "-mode" an existing CustomerType stays
      {L"-Km -mode2", false, "absent", "absent"},
      {L"-mode2", false, "absent", "absent"},
      {L"", false, "absent", "absent"},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(testreg::SetValue(HKEY_LOCAL_MACHINE, kServiceKey, row.seedSeven ? L"CustomerType" : nullptr, REG_DWORD, &seven, 4));
    WriteKernelModeMarks(row.commandLine);
    EXPECT_EQ(row.customerType, Dword(L"CustomerType")) << row.commandLine;
    EXPECT_EQ(row.km, Dword(L"KM")) << row.commandLine;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
  }
  WriteKernelModeMarks(L"-KM -mode2");
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kServiceKey)) << "a missing service key is not created";
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
}

}  // namespace
