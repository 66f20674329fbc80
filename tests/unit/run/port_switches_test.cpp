#include <gtest/gtest.h>

#include "run/command_line.h"

TEST(PortSwitches, QuietInstallReadsThePorts) {
  struct Row { const wchar_t* commandLine; int qxPort; int kdPort; } rows[] = {
      {L"-s1 -QX:COM1 -KD:COM32", 1, 32},
      {L"-s1 -QX:COM0 -KD:COM33", 0, 0},
      {L"-s1 -QX:COM3 -QX:COM5", 3, 0},    // the first occurrence counts
      {L"-s1 -QX:COM99 -QX:COM5", 0, 0},   // even when it is invalid
      {L"-s1 -QX:LPT2 -QX:COM3", 34, 0},   // a valid LPT number replaces the COM number
      {L"-s1 -QX:LPT1 -KD:LPT8", 33, 40},
      {L"-s1 -QX:COM3 -QX:LPT9", 3, 0},
      {L"-s1 -QX:COM 3 -KD:LPT 4", 0, 0},  // the number ends at the first blank
      {L"-s1 -QX:COM12abc", 12, 0},
      {L"-s1 -qx:com3", 0, 0},
      {nullptr, 0, 0},
  };
  for (const Row& row : rows) {
    const RequestedPorts ports = ParsePortSwitches(row.commandLine, SilentInstall);
    EXPECT_EQ(row.qxPort, ports.qxPort) << (row.commandLine ? row.commandLine : L"(null)");
    EXPECT_EQ(row.kdPort, ports.kdPort) << (row.commandLine ? row.commandLine : L"(null)");
  }
  for (RunMode mode : {Interactive, SilentUninstall, Removal}) {
    EXPECT_EQ(0, ParsePortSwitches(L"-s1 -QX:COM3 -KD:COM4", mode).qxPort) << mode;
  }
}
