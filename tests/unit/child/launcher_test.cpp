#include "child/launcher.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_folder.h"

TEST(Launcher, ProgramFileEndsAtTheLastExeFollowedByABlank) {
  struct Row { const wchar_t* path; const wchar_t* program; } rows[] = {
      {L"C:\\Temp\\w\\setup.exe", L"C:\\Temp\\w\\setup.exe"},
      {L"C:\\Temp\\w\\setup.exe /x", L"C:\\Temp\\w\\setup.exe"},
      {L"C:\\a.exe b\\c.exe /x y", L"C:\\a.exe b\\c.exe"},
      {L"C:\\Documents and Settings\\u\\setup.exe", L"C:\\Documents and Settings\\u\\setup.exe"},
      {L"C:\\x.EXE /x", L"C:\\x.EXE /x"},  // case-sensitive: no split
  };
  for (const Row& row : rows) {
    wchar_t program[MAX_PATH];
    EXPECT_TRUE(ProgramFileOf(row.path, program, MAX_PATH)) << row.path;
    EXPECT_EQ(std::wstring(row.program), program) << row.path;
  }
  wchar_t small[8];
  EXPECT_TRUE(ProgramFileOf(L"a.exe b", small, 6));
  EXPECT_FALSE(ProgramFileOf(L"ab.exe b", small, 6));
}

TEST(Launcher, CommandLineFitsUpTo1024UnitsWithItsTerminator) {
  const std::wstring path = L"C:\\w\\setup.exe";
  wchar_t buffer[kChildCommandLineCapacity];
  // path + blank + arguments = 1022 characters, plus the terminator: still one unit to spare.
  std::wstring arguments(1022 - path.size() - 1, L'a');
  ASSERT_TRUE(ComposeChildCommandLine(buffer, path.c_str(), arguments.c_str(), arguments.size()));
  EXPECT_EQ(path + L" " + arguments, buffer);
  arguments += L'a';
  EXPECT_TRUE(ComposeChildCommandLine(buffer, path.c_str(), arguments.c_str(), arguments.size()));
  arguments += L'a';
  EXPECT_FALSE(ComposeChildCommandLine(buffer, path.c_str(), arguments.c_str(), arguments.size()));
}

TEST(Launcher, SetupDialogClassesAreMatchedCaseSensitively) {
  struct Row { const wchar_t* className; bool dialog; } rows[] = {
      {L"TSetDialog", true}, {L"XTSetDialogY", true}, {L"MsiDialogCloseClass", true},
      {L"tsetdialog", false}, {L"TSETDIALOG", false}, {L"#32770", false}, {L"", false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.dialog, IsSetupDialogClass(row.className)) << row.className;
}

TEST(Launcher, MissingProgramStartsNothingAndPostsNothing) {
  ScratchFolder folder;
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  const std::wstring missing = folder / L"setup.exe";
  EXPECT_EQ(kChildStartFailed, RunChildAndWait(missing.c_str(), L"/x", 2, window));
  const std::wstring withArguments = missing + L" /clone_wait";
  EXPECT_EQ(kChildStartFailed, RunChildAndWait(withArguments.c_str(), L"/x", 2, window));
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, window, WM_USER + 1, WM_USER + 1, PM_REMOVE));
  DestroyWindow(window);
}

TEST(Launcher, ChildExitCodeIsReturnedAndTheEndIsPosted) {
  // cmd.exe stands in for a setup: it exits with the code it is told.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  for (DWORD code : {0u, 2u, 259u, 1001u}) {
    const std::wstring arguments = L"/c exit " + std::to_wstring(code);
    EXPECT_EQ(code, RunChildAndWait(cmd.c_str(), arguments.c_str(), arguments.size(), window));
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, window, WM_USER + 1, WM_USER + 1, PM_REMOVE)) << code;
    EXPECT_FALSE(PeekMessageW(&message, window, WM_USER + 1, WM_USER + 1, PM_REMOVE)) << code;
  }
  DestroyWindow(window);
}
