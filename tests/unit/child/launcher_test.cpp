#include "child/launcher.h"

#include <gtest/gtest.h>

#include <string>

TEST(Launcher, ProgramFileEndsAtTheLastExeFollowedByABlank) {
  struct Row { const wchar_t* path; std::size_t capacity; const wchar_t* program; } rows[] = {
      {L"C:\\Temp\\w\\setup.exe", MAX_PATH, L"C:\\Temp\\w\\setup.exe"},
      {L"C:\\a.exe b\\c.exe /x y", MAX_PATH, L"C:\\a.exe b\\c.exe"},
      {L"C:\\x.EXE /x", MAX_PATH, L"C:\\x.EXE /x"},  // case-sensitive: no split
      {L"a.exe b", 6, L"a.exe"},
      {L"ab.exe b", 6, L""},
  };
  for (const Row& row : rows) {
    wchar_t program[MAX_PATH];
    EXPECT_EQ(*row.program != L'\0', ProgramFileOf(row.path, program, row.capacity)) << row.path;
    EXPECT_EQ(std::wstring(row.program), program) << row.path;
  }
}

TEST(Launcher, CommandLineFitsUpTo1024UnitsWithItsTerminator) {
  const std::wstring path = L"C:\\w\\setup.exe";
  wchar_t buffer[kChildCommandLineCapacity];
  const std::wstring fits(1023 - path.size() - 1, L'a');
  ASSERT_TRUE(ComposeChildCommandLine(buffer, path.c_str(), fits.c_str(), fits.size()));
  EXPECT_EQ(path + L" " + fits, buffer);
  EXPECT_FALSE(ComposeChildCommandLine(buffer, path.c_str(), (fits + L"a").c_str(), fits.size() + 1));
}

TEST(Launcher, SetupDialogClassesAreMatchedCaseSensitively) {
  struct Row { const wchar_t* className; bool dialog; } rows[] = {
      {L"XTSetDialogY", true}, {L"MsiDialogCloseClass", true}, {L"tsetdialog", false}, {L"#32770", false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.dialog, IsSetupDialogClass(row.className)) << row.className;
}
