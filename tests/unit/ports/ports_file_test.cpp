#include "ports/ports_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "port_registry_seed.h"
#include "scratch_folder.h"

namespace ports_test {
namespace {

TEST(PortsLines, UsbLines) {
  struct Row { UsbPortAssignment record; const char* expected; } rows[] = {
      {{3, kPortRoleQX, "A1B2C3D4"}, "3=0,A1B2C3D4\n"}, {{40, kPortRoleKD, "5&2b,x=y"}, "40=1,5&2b,x=y\n"},
  };
  for (const Row& row : rows) {
    char line[kPortsLineCapacity];
    EXPECT_TRUE(FormatUsbLine(row.record, line, kPortsLineCapacity));
    EXPECT_EQ(std::string(row.expected), line);
  }
}

// Instance and driver numbers padded to four digits after the sign; settings signed.
TEST(PortsLines, EmulatorLines) {
  struct Row { const char* name; std::int32_t instance, driver; std::uint32_t first, last; const char* id;
               const char* expected; } rows[] = {
      {"COM5", 7, -5, 4294967295u, 2147483648u, "Printer1", "COM5=0007,-005,-1,0,0,0,0,0,0,0,Printer1,0,0,0,0,0,0,0,-2147483648\n"},
      {"CO,M=1", 12345, kNoDriverIndex, 1, 16, "a,b=c", "CO,M=1=12345,9999,1,0,0,0,0,0,0,0,a,b=c,0,0,0,0,0,0,0,16\n"},
  };
  for (const Row& row : rows) {
    EmulatorPortRecord record = {};
    std::copy(row.name, row.name + strlen(row.name) + 1, record.portName);
    std::copy(row.id, row.id + strlen(row.id) + 1, record.portId);
    record.instanceNumber = row.instance;
    record.driverIndex = row.driver;
    record.lineSettings[0] = row.first;
    record.timingSettings[kTimingSettingCount - 1] = row.last;
    char line[kPortsLineCapacity];
    EXPECT_TRUE(FormatEmulatorLine(record, line, kPortsLineCapacity));
    EXPECT_EQ(std::string(row.expected), line);
  }
}

class PortsFile : public PortRegistryTest {};

// The lines reach the disk with CR LF, over an earlier file.
TEST_F(PortsFile, LinesEndInCrLfAndReplaceAnEarlierFile) {
  ScratchFolder folder;
  ASSERT_TRUE(WriteTestFile(folder / L"PORTS.dat", std::string(1000, 'x')));
  SetNumber(UsbParameters("A1"), "OrvCuIndex", 0);
  SetNumber(UsbParameters("A1"), "OrvCOMPortForQX", 3);
  WritePortsFile((folder.path() + L"\\").c_str());
  EXPECT_EQ("[PORTS]\r\n3=0,A1\r\n[PRTVO]\r\n", ReadTestFile(folder / L"PORTS.dat"));
}

}  // namespace
}  // namespace ports_test
