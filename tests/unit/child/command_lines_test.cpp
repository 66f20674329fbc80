#include "child/command_lines.h"

#include <gtest/gtest.h>

#include <string>

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
