#include "run/command_line.h"

#include "common/switches.h"

#include <gtest/gtest.h>

#include <string>

TEST(CommandLine, HasSwitchIsACaseSensitiveSubstringTest) {
  EXPECT_TRUE(HasSwitch(L"x-s1y", L"-s1"));
  EXPECT_TRUE(HasSwitch(L"-s10", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"-S1", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"", L"-s1"));
  EXPECT_FALSE(HasSwitch(nullptr, L"-s1"));
}

TEST(CommandLine, RunSwitchesTable) {
  const std::wstring quiet = L"/clone_wait /hide_progress -l0x0409";
  struct Row {
    const wchar_t* commandLine;
    RunMode mode;
    DriverMode driver;
    std::wstring setupSwitches;
  } rows[] = {
      {L"", Interactive, UserMode, L"/clone_wait"},
      {L"-u3 -s1", Removal, UserMode, L""},
      {L"-U3", Removal, UserMode, L""},
      {L"C:\\tools-u3\\x", Removal, UserMode, L""},
      {L"-s1 -u1", SilentInstall, UserMode, quiet},
      {L"-u1 -s1", SilentInstall, UserMode, quiet},
      {L"-S1", SilentInstall, UserMode, quiet},
      {L"-U1", SilentUninstall, UserMode, quiet},
      {L"-s10", SilentInstall, UserMode, quiet},
      {L"x-s1y", SilentInstall, UserMode, quiet},
      {L"/s1", Interactive, UserMode, L"/clone_wait"},
      {L"-Km", Interactive, UserMode, L"/clone_wait"},
      {L"-kM", Interactive, UserMode, L"/clone_wait"},
      {L"-KM", Interactive, KernelMode, L"/clone_wait"},
      {L"-km -u3", Removal, KernelMode, L""},
      {L"-S1 -KM -mode 3", SilentInstall, KernelMode, quiet},
  };
  for (const Row& row : rows) {
    RunSwitches parsed = ParseRunSwitches(row.commandLine, 1033);
    EXPECT_EQ(row.mode, parsed.runMode) << row.commandLine;
    EXPECT_EQ(row.driver, parsed.driverMode) << row.commandLine;
    EXPECT_EQ(row.setupSwitches, std::wstring(parsed.setupSwitches)) << row.commandLine;
  }
}

TEST(CommandLine, QuietSwitchesCarryTheLanguageSwitch) {
  struct Row { LANGID language; const wchar_t* expected; } rows[] = {
      {0x0411, L"/clone_wait /hide_progress -l0x0411"},
      {0x0404, L"/clone_wait /hide_progress -l0x0404"},
      {0x0804, L"/clone_wait /hide_progress -l0x0804"},
      {0x0C04, L"/clone_wait /hide_progress -l0x0409"},
      {0x0809, L"/clone_wait /hide_progress -l0x0409"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::wstring(row.expected), ParseRunSwitches(L"-u1", row.language).setupSwitches) << row.language;
  }
  // The interactive run gets no language switch whatever the language.
  EXPECT_EQ(std::wstring(L"/clone_wait"), ParseRunSwitches(L"", 0x0411).setupSwitches);
}
