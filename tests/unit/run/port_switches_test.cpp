#include <gtest/gtest.h>

#include "run/command_line.h"

namespace {

struct PortRow { const wchar_t* commandLine; int qxPort; int kdPort; };

TEST(PortSwitches, QuietInstallReadsThePorts) {
  const PortRow rows[] = {
        PortRow{L"-s1", 0, 0}, PortRow{L"", 0, 0},
        PortRow{L"-s1 -QX:COM3 -KD:COM4", 3, 4},
        PortRow{L"-s1 -QX:COM1 -KD:COM32", 1, 32},
        PortRow{L"-s1 -QX:COM0", 0, 0}, PortRow{L"-s1 -QX:COM33", 0, 0}, PortRow{L"-s1 -QX:COM-3", 0, 0},
        PortRow{L"-s1 -QX:COM+3", 3, 0},
        // The first occurrence counts, even when it is invalid and a later one is not.
        PortRow{L"-s1 -QX:COM3 -QX:COM5", 3, 0},
        PortRow{L"-s1 -QX:COM99 -QX:COM5", 0, 0},
        // A valid LPT number replaces the COM number, wherever the switches stand.
        PortRow{L"-s1 -QX:COM3 -QX:LPT2", 34, 0},
        PortRow{L"-s1 -QX:LPT2 -QX:COM3", 34, 0},
        PortRow{L"-s1 -QX:LPT1 -KD:LPT8", 33, 40},
        PortRow{L"-s1 -QX:COM3 -QX:LPT9", 3, 0},
        PortRow{L"-s1 -QX:COM3 -QX:LPT0", 3, 0},
        PortRow{L"-s1 -QX:LPT2 -QX:LPT9", 34, 0},
        PortRow{L"-s1 -KD:COM3 -KD:LPT9", 0, 3},
        // The number ends at the first blank: a blank right after the switch leaves no digits.
        PortRow{L"-s1 -QX:COM 3", 0, 0},
        PortRow{L"-s1 -QX:LPT 3 -KD:COM 4", 0, 0},
        PortRow{L"-s1 -QX:COM", 0, 0}, PortRow{L"-s1 -QX:COMx3", 0, 0},
        // Past the digits the text is ignored.
        PortRow{L"-s1 -QX:COM3,x", 3, 0},
        PortRow{L"-s1 -QX:COM12abc -KD:COM7", 12, 7},
        PortRow{L"-s1 -QX:COM003", 3, 0},
        // Other white space is not a blank: _wtoi skips it.
        PortRow{L"-s1 -QX:COM\t5", 5, 0},
        // Case-sensitive: these are not port switches.
        PortRow{L"-s1 -qx:com3 -KD:com4", 0, 0},
        // Found anywhere in the line, also inside other text.
        PortRow{L"x-QX:COM7y -s1", 7, 0},
        PortRow{nullptr, 0, 0}};
  for (const PortRow& row : rows) {
    const RequestedPorts ports = ParsePortSwitches(row.commandLine, SilentInstall);
    EXPECT_EQ(ports.qxPort, row.qxPort) << (row.commandLine ? row.commandLine : L"(null)");
    EXPECT_EQ(ports.kdPort, row.kdPort) << (row.commandLine ? row.commandLine : L"(null)");
  }
}

TEST(PortSwitches, NothingIsReadOutsideQuietInstall) {
  const wchar_t* line = L"-s1 -QX:COM3 -KD:COM3";
  for (RunMode mode : {Interactive, SilentUninstall, Removal}) {
    const RequestedPorts ports = ParsePortSwitches(line, mode);
    EXPECT_EQ(ports.qxPort, 0) << mode;
    EXPECT_EQ(ports.kdPort, 0) << mode;
  }
}

}  // namespace
