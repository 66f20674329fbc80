#include "ports/emulator_ports.h"

#include <gtest/gtest.h>

#include "test_registry.h"
#include "ports/ports_file.h"

namespace ports_test {
namespace {

TEST(EmulatorHardwareId, NamesTheEmulatorIgnoringAsciiCase) {
  const struct { const char* firstString; bool expected; } rows[] = {
      {"UMDF\\OrvikPortEmulator", true}, {"ROOT\\Umdf\\ORVIKportEmulator&REV_0002", true},
      {"UMDF\\OrvikPortEmulato", false}, {"UMDF/OrvikPortEmulator", false}, {"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, HardwareIdNamesEmulator(row.firstString)) << row.firstString;
}

TEST(EmulatorDriverIndex, NumberAfterTheFirstBackslash) {
  const struct { bool read; const char* driver; std::int32_t expected; } rows[] = {
      {true, "{4d36e978-e325-11ce-bfc1-08002be10318}\\0002", 2}, {true, "Ports\\0001\\0009", 1},
      {true, "Ports\\-5", -5}, {true, "Ports\\abc", 0}, {true, "Ports0002", kNoDriverIndex},
      {false, "Ports\\0003", kNoDriverIndex},  // a failed read leaves no text to trust
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, DriverIndexFromText(row.read, row.driver)) << row.driver;
}

class EmulatorPortsWalk : public PortRegistryTest {};

// Which instances are ports of ours, where the name is read from, and every setting in its place.
TEST_F(EmulatorPortsWalk, ReadsTheEmulatorsPortsAndTheirSettings) {
  const std::string id = Multi({"UMDF\\OrvikPortEmulator"});
  SetValue(PortInstance("0000"), "HardwareID", REG_MULTI_SZ, id);
  SetValue(PortInstance("0000"), "Driver", REG_SZ, Text("Ports\\0003"));
  const char* const settings[] = {"OrvDCD", "OrvDSR", "OrvCTS", "OrvRI", "OrvQX", "OrvKD", "OrvPH", "OrvAsync",
                                  "OrvReadIntervalTimeout", "OrvReadTotalTimeoutMultiplier",
                                  "OrvReadTotalTimeoutConstant", "OrvWriteTotalTimeoutMultiplier",
                                  "OrvWriteTotalTimeoutConstant", "OrvQXSCMD_UnlockTimer", "OrvQXSCMD_Mode",
                                  "OrvQXSCMD_Option"};
  for (std::uint32_t i = 0; i < 16; ++i) SetNumber(PortParameters("0000"), settings[i], i + 1);
  SetValue(PortParameters("0000"), "PortName", REG_SZ, Text("COM5"));
  SetValue(PortParameters("0000"), "OrvID", REG_SZ, Text("Printer1"));
  // An older driver's name in the instance key; a 2-byte number counts as missing.
  SetValue(PortInstance("0012"), "HardwareID", REG_MULTI_SZ, Multi({"umdf\\orvikportemulator"}));
  SetValue(PortInstance("0012"), "PortName", REG_SZ, Text("COM7"));
  SetValue(PortParameters("0012"), "OrvDCD", REG_DWORD, std::string("\1\0", 2));
  // Skipped: another driver's port, and a port of ours without "Device Parameters".
  SetValue(PortInstance("0020"), "HardwareID", REG_MULTI_SZ, Multi({"ACPI\\PNP0501"}));
  SetValue(PortParameters("0020"), "PortName", REG_SZ, Text("COM1"));
  SetValue(PortInstance("0021"), "HardwareID", REG_MULTI_SZ, id);
  SetValue(PortInstance("0021"), "PortName", REG_SZ, Text("COM2"));
  std::vector<std::string> lines;
  ForEachEmulatorPort([](const EmulatorPortRecord& record, void* context) {
    char line[kPortsLineCapacity];
    EXPECT_TRUE(FormatEmulatorLine(record, line, kPortsLineCapacity));
    static_cast<std::vector<std::string>*>(context)->push_back(line);
  }, &lines);
  EXPECT_EQ((std::vector<std::string>{"COM5=0000,0003,1,2,3,4,5,6,7,8,Printer1,9,10,11,12,13,14,15,16\n",
                                      "COM7=0012,9999,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\n"}),
            lines);
}

}  // namespace
}  // namespace ports_test
