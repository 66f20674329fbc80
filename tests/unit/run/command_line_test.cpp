#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "common/switches.h"

TEST(CommandLine, HasSwitchIsACaseSensitiveSubstringTest) {
  EXPECT_TRUE(HasSwitch(L"x-s1y", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"-S1", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"-s", L"-s1"));
  EXPECT_FALSE(HasSwitch(nullptr, L"-s1"));
}

TEST(CommandLine, RunSwitchesTable) {
  const wchar_t* quiet = L"/clone_wait /hide_progress -l0x0411";
  struct Row { const wchar_t* commandLine; RunMode mode; DriverMode driver; const wchar_t* setupSwitches; } rows[] = {
      {L"", Interactive, UserMode, L"/clone_wait"},
      {L"-u3 -s1", Removal, UserMode, L""},
      {L"-U3", Removal, UserMode, L""},
      {L"-u1 -s1", SilentInstall, UserMode, quiet},
      {L"-S1", SilentInstall, UserMode, quiet},
      {L"-U1", SilentUninstall, UserMode, quiet},
      {L"/s1 -kM", Interactive, UserMode, L"/clone_wait"},
      {L"-km -u3", Removal, KernelMode, L""},
      {L"-S1 -KM -mode 3", SilentInstall, KernelMode, quiet},
  };
  for (const Row& row : rows) {
    const RunSwitches parsed = ParseRunSwitches(row.commandLine, 0x0411);
    EXPECT_EQ(row.mode, parsed.runMode) << row.commandLine;
    EXPECT_EQ(row.driver, parsed.driverMode) << row.commandLine;
    EXPECT_EQ(std::wstring(row.setupSwitches), parsed.setupSwitches) << row.commandLine;
  }
}
