#include "ports/ports_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_registry.h"

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

}  // namespace
}  // namespace ports_test
