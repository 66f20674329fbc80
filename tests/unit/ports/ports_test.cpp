#include "ports/emulator_ports.h"
#include "ports/ports_file.h"
#include "ports/registry_read.h"
#include "ports/usb_ports.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_registry.h"

namespace ports_test {
namespace {

TEST(UsbFunctionYieldsPort, PortsOneToFortyUnlessSwitchedOff) {
  struct Row { bool portRead; std::uint32_t port; bool enabledRead; std::uint32_t enabled; bool yields; } rows[] = {
      {true, 1, false, 0, true},  {true, 40, false, 0, true}, {true, 0, false, 0, false},
      {true, 41, false, 0, false}, {false, 3, false, 0, false},
      {true, 3, true, 1, true},   {true, 3, true, 0, false},  {true, 3, true, 2, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.yields, UsbFunctionYieldsPort({r.portRead, r.port, r.enabledRead, r.enabled}))
        << r.port << (r.enabledRead ? " enabled " : " ") << r.enabled;
  }
}

class UsbPortsWalk : public PortRegistryTest {};

// The instances in enumeration order, QX before KD; only 4-byte numbers count.
TEST_F(UsbPortsWalk, ReadsEachInstancesFunctionsInOrder) {
  SetNumber(UsbParameters("A1"), "OrvCuIndex", 0);
  SetNumber(UsbParameters("A1"), "OrvCOMPortForQX", 3);
  SetNumber(UsbParameters("A1"), "OrvCOMPortForKD", 4);
  SetNumber(UsbParameters("B2"), "OrvCuIndex", 1);
  SetValue(UsbParameters("B2"), "OrvCOMPortForQX", REG_DWORD, std::string("\5\0", 2));
  SetNumber(UsbParameters("B2"), "OrvCOMPortForKD", 6);
  SetValue(UsbParameters("C3"), "OrvCuIndex", REG_DWORD, std::string("\0\0", 2));
  SetNumber(UsbParameters("C3"), "OrvCOMPortForQX", 7);
  SetValue(std::string(kUsbDeviceKey) + "\\D4", nullptr, 0, "");  // no "Device Parameters"
  std::vector<std::string> seen;
  ForEachUsbPortAssignment([](const UsbPortAssignment& r, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(
        std::to_string(r.portNumber) + "/" + std::to_string(r.portRole) + "/" + r.instanceName);
  }, &seen);
  EXPECT_EQ((std::vector<std::string>{"3/0/A1", "4/1/A1", "6/1/B2"}), seen);
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

TEST(PortsLines, UsbLines) {
  struct Row { UsbPortAssignment record; const char* expected; } rows[] = {
      {{3, kPortRoleQX, "A1B2C3D4"}, "3=0,A1B2C3D4\n"}, {{40, kPortRoleKD, "5&2b,x=y"}, "40=1,5&2b,x=y\n"},
      {{4, kPortRoleKD, "A1\tB2"}, ""},  // a control byte would not stay in its line
  };
  for (const Row& row : rows) {
    char line[kPortsLineCapacity];
    ASSERT_EQ(*row.expected != '\0', FormatUsbLine(row.record, line, kPortsLineCapacity)) << row.expected;
    if (*row.expected != '\0') EXPECT_EQ(std::string(row.expected), line);
  }
}

// Instance and driver numbers padded to four digits after the sign; settings signed.
TEST(PortsLines, EmulatorLines) {
  struct Row { const char* name; std::int32_t instance, driver; std::uint32_t first, last; const char* id;
               const char* expected; } rows[] = {
      {"COM5", 7, -5, 4294967295u, 2147483648u, "Printer1", "COM5=0007,-005,-1,0,0,0,0,0,0,0,Printer1,0,0,0,0,0,0,0,-2147483648\n"},
      {"CO,M=1", 12345, kNoDriverIndex, 1, 16, "a,b=c", "CO,M=1=12345,9999,1,0,0,0,0,0,0,0,a,b=c,0,0,0,0,0,0,0,16\n"},
      {"COM5\n[PRTVO]", 0, 0, 0, 0, "", ""},  // would forge a section header
      {"COM6", 0, 0, 0, 0, "id\r", ""},
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
    ASSERT_EQ(*row.expected != '\0', FormatEmulatorLine(record, line, kPortsLineCapacity)) << row.name;
    if (*row.expected != '\0') EXPECT_EQ(std::string(row.expected), line);
  }
}

TEST(TextFromValueBytes, EndsAtTheFirstNulAndNeedsRoomForIt) {
  const std::string a259(259, 'a'), a260(260, 'a');
  struct Row { std::string data; DWORD size; bool read; std::string expected; } rows[] = {
      {std::string("COM5\0", 5), 5, true, "COM5"},
      {"COM5", 4, true, "COM5"},  // no NUL, but room for one
      {std::string("ab\0cd\0\0", 7), 7, true, "ab"},
      {a259 + std::string(1, '\0'), 260, true, a259},
      {a260, 260, false, ""},
      {a260, 261, false, ""},
  };
  for (const Row& row : rows) {
    // Nothing after the returned bytes to lean on.
    std::vector<char> buffer(row.data.begin(), row.data.end());
    buffer.resize(260, 'z');
    char text[260] = "unchanged";
    EXPECT_EQ(row.read, TextFromValueBytes(buffer.data(), row.size, 260, text)) << row.size;
    if (row.read) EXPECT_EQ(row.expected, std::string(text)) << row.size;
  }
}

// A stand-in for RegEnumKeyExA that produces what a prefix cannot hold: a name too long for the
// buffer (Wine caps key names below 260 bytes), or a key deleted during the walk.
const char* g_tooLongName = nullptr;
DWORD g_goneFromIndex = 0xFFFFFFFF;
int g_calls = 0;

LONG WINAPI EnumStandIn(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved, LPSTR cls,
                        LPDWORD classLength, PFILETIME lastWrite) {
  if (++g_calls > 100 || index >= g_goneFromIndex) return ERROR_KEY_DELETED;  // 100: a walk that never ends
  const LONG result = RegEnumKeyExA(key, index, name, length, reserved, cls, classLength, lastWrite);
  if (result != ERROR_SUCCESS || g_tooLongName == nullptr || lstrcmpA(name, g_tooLongName) != 0) return result;
  // What the real call leaves: name bytes with no NUL, and the length it needs.
  for (DWORD i = 0; i < 260; ++i) name[i] = 'L';
  *length = 300;
  return ERROR_MORE_DATA;
}

class SubKeyWalk : public PortRegistryTest {
 protected:
  void TearDown() override {
    SetEnumKeyFunctionForTesting(nullptr);
    PortRegistryTest::TearDown();
  }
};

TEST_F(SubKeyWalk, AnOverLongNameIsSkippedAndAKeyGoneEndsTheWalk) {
  for (const char* instance : {"0000", "0001", "0002"}) {
    SetValue(PortInstance(instance), "HardwareID", REG_MULTI_SZ, Multi({"UMDF\\OrvikPortEmulator"}));
    SetValue(PortParameters(instance), "PortName", REG_SZ, Text(std::string("COM") + instance));
  }
  SetEnumKeyFunctionForTesting(&EnumStandIn);
  const struct { const char* tooLong; DWORD goneFrom; std::string names; int calls; } rows[] = {
      {"0001", 0xFFFFFFFF, "COM0000 COM0002 ", 4},
      {nullptr, 1, "COM0000 ", 2},
  };
  for (const auto& row : rows) {
    g_tooLongName = row.tooLong;
    g_goneFromIndex = row.goneFrom;
    g_calls = 0;
    std::string names;
    ForEachEmulatorPort([](const EmulatorPortRecord& r, void* context) {
      *static_cast<std::string*>(context) += std::string(r.portName) + " ";
    }, &names);
    EXPECT_EQ(row.names, names);
    EXPECT_EQ(row.calls, g_calls);
  }
}

}  // namespace
}  // namespace ports_test
