#include "ports/ports_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include "port_registry_seed.h"
#include "scratch_folder.h"

namespace ports_test {
namespace {

std::string UsbLine(const UsbPortAssignment& record) {
  char line[kPortsLineCapacity];
  EXPECT_TRUE(FormatUsbLine(record, line, kPortsLineCapacity));
  return line;
}

std::string EmulatorLine(const EmulatorPortRecord& record) {
  char line[kPortsLineCapacity];
  EXPECT_TRUE(FormatEmulatorLine(record, line, kPortsLineCapacity));
  return line;
}

EmulatorPortRecord Emulator(const std::string& name, std::int32_t instance, std::int32_t driver,
                            std::vector<std::uint32_t> line, const std::string& id,
                            std::vector<std::uint32_t> timing) {
  EmulatorPortRecord record;
  EXPECT_LT(name.size(), sizeof record.portName);
  std::copy(name.c_str(), name.c_str() + name.size() + 1, record.portName);
  record.instanceNumber = instance;
  record.driverIndex = driver;
  for (int i = 0; i < kLineSettingCount; ++i) record.lineSettings[i] = line.at(i);
  EXPECT_LT(id.size(), sizeof record.portId);
  std::copy(id.c_str(), id.c_str() + id.size() + 1, record.portId);
  for (int i = 0; i < kTimingSettingCount; ++i) record.timingSettings[i] = timing.at(i);
  return record;
}

TEST(PortsLineTest, UsbLines) {
  struct Row {
    UsbPortAssignment record;
    std::string expected;
  } rows[] = {
      {{3, kPortRoleQX, "A1B2C3D4"}, "3=0,A1B2C3D4\n"}, {{4, kPortRoleKD, "A1B2C3D4"}, "4=1,A1B2C3D4\n"},
      {{40, kPortRoleQX, "5&2b,x=y"}, "40=0,5&2b,x=y\n"}, {{1, kPortRoleKD, ""}, "1=1,\n"},
      {{12, kPortRoleQX, "\xe9\x81"}, "12=0,\xe9\x81\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.expected, UsbLine(row.record));
}

TEST(PortsLineTest, EmulatorLines) {
  const std::vector<std::uint32_t> zeros(8, 0);
  struct Row {
    EmulatorPortRecord record;
    std::string expected;
  } rows[] = {
      {Emulator("COM5", 0, 2, {1, 1, 1, 0, 1, 0, 0, 0}, "Printer1",
                {4294967295u, 0, 0, 0, 500, 10, 0, 0}),
       "COM5=0000,0002,1,1,1,0,1,0,0,0,Printer1,-1,0,0,0,500,10,0,0\n"},
      {Emulator("COM12", 3, kNoDriverIndex, zeros, "", zeros),
       "COM12=0003,9999,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\n"},
      {Emulator("COM1", 12345, 67890, zeros, "", zeros),
       "COM1=12345,67890,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\n"},
      {Emulator("COM1", 7, -5, zeros, "", zeros),
       "COM1=0007,-005,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\n"},
      {Emulator("COM1", 0, 0, {2147483648u, 2147483647u, 4294967295u, 1, 2, 3, 4, 5}, "id",
                {6, 7, 8, 9, 10, 11, 12, 2147483648u}),
       "COM1=0000,0000,-2147483648,2147483647,-1,1,2,3,4,5,id,6,7,8,9,10,11,12,-2147483648\n"},
      {Emulator("CO,M=1", 1, 1, zeros, "a,b=c", zeros),
       "CO,M=1=0001,0001,0,0,0,0,0,0,0,0,a,b=c,0,0,0,0,0,0,0,0\n"},
      {Emulator("", 1, 1, zeros, "%s%d", zeros),
       "=0001,0001,0,0,0,0,0,0,0,0,%s%d,0,0,0,0,0,0,0,0\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.expected, EmulatorLine(row.record));
}

// Each test writes into a folder of its own; WritePortsFile takes it with its separator.
class PortsFileTest : public PortRegistryTest {
 protected:
  std::wstring Folder() const { return folder_.path() + L"\\"; }
  std::wstring PortsPath() const { return folder_ / L"PORTS.dat"; }
  ScratchFolder folder_;
};

const char kHeadersOnly[] = "[PORTS]\r\n[PRTVO]\r\n";

TEST_F(PortsFileTest, EmptyRegistryGivesTheTwoHeadersReplacingAnEarlierFile) {
  ASSERT_TRUE(WriteTestFile(PortsPath(), std::string(1000, 'x')));
  WritePortsFile(Folder().c_str());
  EXPECT_EQ(std::string(kHeadersOnly), ReadTestFile(PortsPath()));
  EXPECT_EQ(18u, ReadTestFile(PortsPath()).size());
}

TEST_F(PortsFileTest, WorkedExample) {
  const std::pair<const char*, std::uint32_t> usb[] = {
      {"OrvCuIndex", 0}, {"OrvCOMPortForQX", 3}, {"OrvEnabledPortQX", 1}, {"OrvCOMPortForKD", 4}};
  for (const auto& number : usb) SetNumber(UsbParameters("A1B2C3D4"), number.first, number.second);
  SetNumber(UsbParameters("Z9"), "OrvCuIndex", 1);
  SetNumber(UsbParameters("Z9"), "OrvCOMPortForQX", 7);
  SetNumber(UsbParameters("Z9"), "OrvEnabledPortQX", 0);

  SetValue(PortInstance("0000"), "HardwareID", REG_MULTI_SZ, Multi({"UMDF\\OrvikPortEmulator", "UMDF\\Other"}));
  SetValue(PortInstance("0000"), "Driver", REG_SZ, Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0002"));
  const std::string p0 = PortParameters("0000");
  SetValue(p0, "PortName", REG_SZ, Text("COM5"));
  const std::pair<const char*, std::uint32_t> numbers[] = {
      {"OrvDCD", 1}, {"OrvDSR", 1}, {"OrvCTS", 1}, {"OrvRI", 0}, {"OrvQX", 1}, {"OrvKD", 0},
      {"OrvPH", 0}, {"OrvAsync", 0}, {"OrvReadIntervalTimeout", 4294967295u},
      {"OrvReadTotalTimeoutMultiplier", 0}, {"OrvReadTotalTimeoutConstant", 0},
      {"OrvWriteTotalTimeoutMultiplier", 0}, {"OrvWriteTotalTimeoutConstant", 500},
      {"OrvQXSCMD_UnlockTimer", 10}, {"OrvQXSCMD_Mode", 0}, {"OrvQXSCMD_Option", 0}};
  for (const auto& number : numbers) SetNumber(p0, number.first, number.second);
  SetValue(p0, "OrvID", REG_SZ, Text("Printer1"));

  SetValue(PortInstance("0001"), "HardwareID", REG_MULTI_SZ, Multi({"ACPI\\PNP0501"}));
  SetValue(PortInstance("0001"), "Driver", REG_SZ, Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0000"));
  SetValue(PortParameters("0001"), "PortName", REG_SZ, Text("COM1"));
  SetValue(PortInstance("0003"), "HardwareID", REG_MULTI_SZ, Multi({"umdf\\orvikportemulator"}));
  SetValue(PortParameters("0003"), "PortName", REG_SZ, Text("COM12"));

  WritePortsFile(Folder().c_str());
  const std::string written = ReadTestFile(PortsPath());
  EXPECT_EQ("[PORTS]\r\n"
            "3=0,A1B2C3D4\r\n"
            "4=1,A1B2C3D4\r\n"
            "[PRTVO]\r\n"
            "COM5=0000,0002,1,1,1,0,1,0,0,0,Printer1,-1,0,0,0,500,10,0,0\r\n"
            "COM12=0003,9999,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\r\n",
            written);
  EXPECT_EQ(157u, written.size());
}

TEST_F(PortsFileTest, AFileThatCannotBeCreatedIsLeftOut) {
  const std::wstring missing = folder_ / L"missing\\";
  WritePortsFile(missing.c_str());
  EXPECT_FALSE(Exists(missing));

  // A folder standing where the file should be.
  ASSERT_TRUE(CreateDirectoryW(PortsPath().c_str(), nullptr));
  SetNumber(UsbParameters("A1B2C3D4"), "OrvCuIndex", 0);
  SetNumber(UsbParameters("A1B2C3D4"), "OrvCOMPortForQX", 3);
  WritePortsFile(Folder().c_str());
  EXPECT_TRUE(GetFileAttributesW(PortsPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(RemoveDirectoryW(PortsPath().c_str())) << "something was written into it";
}

}  // namespace
}  // namespace ports_test
