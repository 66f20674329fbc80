#include "child/command_lines.h"
#include "child/launcher.h"
#include "child/registry_marks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

TEST(ChildCommandLines, ResultWindowArgIsSignedDecimal) {
  struct Row { LONG_PTR handle; const wchar_t* expected; } rows[] = {
      {131234, L"/W32:131234:1024"}, {-2, L"/W32:-2:1024"},  // a handle with the top bit set reads negative
  };
  for (const Row& row : rows) {
    wchar_t text[kResultWindowArgCapacity];
    EXPECT_TRUE(BuildResultWindowArg(reinterpret_cast<HWND>(row.handle), text, kResultWindowArgCapacity));
    EXPECT_EQ(std::wstring(row.expected), text);
  }
}

TEST(ChildCommandLines, SetupArgumentsTable) {
  const wchar_t* window = L"/W32:7:1024";
  struct Row { const wchar_t* switches; const wchar_t* commandLine; std::size_t capacity; const wchar_t* expected; } rows[] = {
      {L"/clone_wait", nullptr, 64, L"/clone_wait \"/W32:7:1024\""},
      {L"/clone_wait /hide_progress -l0x0411", L"-S1 -KM a\"b ", 64,
       L"/clone_wait /hide_progress -l0x0411 \"/W32:7:1024 -S1 -KM a\"b \""},
      {L"/clone_wait", L"x", 28, L"/clone_wait \"/W32:7:1024 x\""},  // 27 characters
      {L"/clone_wait", L"xy", 28, L""},                               // refused whole, not cut
  };
  for (const Row& row : rows) {
    wchar_t arguments[64];
    EXPECT_EQ(*row.expected != L'\0', ComposeSetupArguments(arguments, row.capacity, row.switches, window, row.commandLine));
    EXPECT_EQ(std::wstring(row.expected), arguments) << (row.commandLine ? row.commandLine : L"(null)");
  }
}

TEST(ChildCommandLines, LanguageSwitchUsesTheWholeId) {
  struct Row { LANGID id; const wchar_t* expected; } rows[] = {
      {0x0411, L"-l0x0411"}, {0x0404, L"-l0x0404"}, {0x0804, L"-l0x0804"}, {0x0C04, L"-l0x0409"}, {0x0809, L"-l0x0409"},
  };
  for (const Row& row : rows) EXPECT_EQ(std::wstring(row.expected), LanguageSwitch(row.id)) << row.id;
}

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

// A setup command line that fills the 1024 units with its terminator is started; one unit more is not.
TEST(Launcher, CommandLineFitsUpTo1024UnitsWithItsTerminator) {
  const std::wstring path = L"C:\\w\\setup.exe", fills(1023 - path.size() - 1, L'a');
  struct Row { std::wstring arguments; bool fits; } rows[] = {{fills, true}, {fills + L"a", false}};
  for (const Row& row : rows) {
    wchar_t buffer[kChildCommandLineCapacity];
    EXPECT_EQ(row.fits, ComposeChildCommandLine(buffer, path.c_str(), row.arguments.c_str(), row.arguments.size()));
    if (row.fits) EXPECT_EQ(path + L" " + row.arguments, buffer);
  }
}

// A dialog's class name need only contain the setup's, case-sensitively.
TEST(Launcher, SetupDialogClassesAreFoundWithinTheClassName) {
  struct Row { const wchar_t* className; bool dialog; } rows[] = {
      {L"XTSetDialogY", true}, {L"MsiDialogCloseClass", true}, {L"tsetdialog", false}, {L"#32770", false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.dialog, IsSetupDialogClass(row.className)) << row.className;
}

// A crash's NTSTATUS fails the run; a program's own codes other than 2 are its business.
TEST(Launcher, AChildFailedWhenItExitedWithTwoOrDied) {
  struct Row { DWORD exitCode; bool failed; } rows[] = {{2, true}, {3, false}, {0xBFFFFFFF, false}, {0xC0000000, true}};
  for (const Row& row : rows) EXPECT_EQ(row.failed, ChildFailed(row.exitCode)) << row.exitCode;
}

TEST(KernelModeMarks, Decision) {
  const struct { const wchar_t* commandLine; bool customerType; DWORD value; bool kernelMode; } rows[] = {
      {L"-km -mode2", true, 2, true},   {L"-mode 3 -KM", true, 3, true},
      {L"-KM -modex", true, 0, true},   {L"-KM -mode-7", true, 0xFFFFFFF9u, true},
      {L"-KM -mode12x -mode5", true, 12, true},  // the first "-mode" counts, up to a non-digit
      {L"-KM", false, 0, true},         {L"-km -MODE2", false, 0, true},
      {L"-Km -mode2", false, 0, false}, {L"-mode2", false, 0, false},
  };
  for (const auto& row : rows) {
    const KernelModeMarks marks = KernelModeMarksFor(row.commandLine);
    EXPECT_EQ(row.customerType, marks.writeCustomerType) << row.commandLine;
    if (row.customerType) EXPECT_EQ(row.value, marks.customerType) << row.commandLine;
    EXPECT_EQ(row.kernelMode, marks.writeKernelMode) << row.commandLine;
  }
}

}  // namespace
