#include "child/command_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ResultWindowArg(LONG_PTR handle) {
  wchar_t text[kResultWindowArgCapacity];
  EXPECT_TRUE(BuildResultWindowArg(reinterpret_cast<HWND>(handle), text, kResultWindowArgCapacity));
  return text;
}

}  // namespace

TEST(ChildCommandLines, ResultWindowArgIsSignedDecimal) {
  EXPECT_EQ(L"/W32:131234:1024", ResultWindowArg(131234));
  EXPECT_EQ(L"/W32:7:1024", ResultWindowArg(7));
  // Only the length changes with more digits; a handle with the top bit set reads negative.
  EXPECT_EQ(L"/W32:-2:1024", ResultWindowArg(-2));
}

TEST(ChildCommandLines, SetupArgumentsTable) {
  const std::wstring window = L"/W32:131234:1024";
  struct Row { const wchar_t* switches; const wchar_t* commandLine; const wchar_t* expected; } rows[] = {
      {L"/clone_wait", L"", L"/clone_wait \"/W32:131234:1024\""},
      {L"/clone_wait", nullptr, L"/clone_wait \"/W32:131234:1024\""},
      {L"/clone_wait /hide_progress -l0x0411", L"-s1",
       L"/clone_wait /hide_progress -l0x0411 \"/W32:131234:1024 -s1\""},
      {L"/clone_wait /hide_progress -l0x0409", L"-S1 -KM -mode 3 ",
       L"/clone_wait /hide_progress -l0x0409 \"/W32:131234:1024 -S1 -KM -mode 3 \""},
      // A quote in the installer's command line goes through unchanged.
      {L"/clone_wait", L"a\"b", L"/clone_wait \"/W32:131234:1024 a\"b\""},
  };
  for (const Row& row : rows) {
    wchar_t arguments[1024];
    EXPECT_TRUE(ComposeSetupArguments(arguments, 1024, row.switches, window.c_str(), row.commandLine));
    EXPECT_EQ(row.expected, std::wstring(arguments)) << (row.commandLine ? row.commandLine : L"(null)");
  }
  // Arguments that would not fit the child's command line are refused whole, not cut.
  // '/clone_wait "/W32:131234:1024 x"' is 32 characters.
  wchar_t arguments[33];
  EXPECT_TRUE(ComposeSetupArguments(arguments, 33, L"/clone_wait", window.c_str(), L"x"));
  EXPECT_FALSE(ComposeSetupArguments(arguments, 33, L"/clone_wait", window.c_str(), L"xy"));
  EXPECT_EQ(L'\0', arguments[0]);
}

TEST(ChildCommandLines, LanguageSwitchUsesTheWholeId) {
  struct Row { LANGID id; const wchar_t* expected; } rows[] = {
      {0x0411, L"-l0x0411"}, {0x0404, L"-l0x0404"}, {0x0804, L"-l0x0804"},
      {0x0C04, L"-l0x0409"}, {0x1004, L"-l0x0409"}, {0x0409, L"-l0x0409"}, {0x0809, L"-l0x0409"},
  };
  for (const Row& row : rows) EXPECT_EQ(std::wstring(row.expected), LanguageSwitch(row.id)) << row.id;
  EXPECT_EQ(std::wstring(L"/9"), kRemovalArguments);
}
