#include "child/command_lines.h"

#include <gtest/gtest.h>

#include <string>

TEST(ChildCommandLines, ResultWindowArgIsSignedDecimal) {
  EXPECT_EQ(L"/W32:131234:1024", BuildResultWindowArg(reinterpret_cast<HWND>(131234)));
  EXPECT_EQ(L"/W32:7:1024", BuildResultWindowArg(reinterpret_cast<HWND>(7)));
  // Only the length changes with more digits; a handle with the top bit set reads negative.
  EXPECT_EQ(L"/W32:-2:1024", BuildResultWindowArg(reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2))));
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
    EXPECT_EQ(row.expected, ComposeSetupArguments(row.switches, window, row.commandLine))
        << (row.commandLine ? row.commandLine : L"(null)");
  }
}

TEST(ChildCommandLines, LanguageSwitchUsesTheWholeId) {
  struct Row { LANGID id; const wchar_t* expected; } rows[] = {
      {0x0411, L"-l0x0411"}, {0x0404, L"-l0x0404"}, {0x0804, L"-l0x0804"},
      {0x0C04, L"-l0x0409"}, {0x1004, L"-l0x0409"}, {0x0409, L"-l0x0409"}, {0x0809, L"-l0x0409"},
  };
  for (const Row& row : rows) EXPECT_EQ(std::wstring(row.expected), LanguageSwitch(row.id)) << row.id;
  EXPECT_EQ(std::wstring(L"/9"), kRemovalArguments);
}
