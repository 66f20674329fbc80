#include "ports/registry_read.h"

#include <gtest/gtest.h>

#include "port_registry_seed.h"
#include "ports/emulator_ports.h"
#include "ports/usb_ports.h"

namespace ports_test {
namespace {

TEST(PortTextBytesTest, TextEndsAtTheFirstNulOrTheReturnedBytes) {
  struct Row {
    const char* what;
    std::string data;  // the buffer's bytes; size is the count the read returned
    DWORD size;
    bool expectedRead;
    std::string expected;
  } rows[] = {
      {"terminated", std::string("COM5\0", 5), 5, true, "COM5"},
      {"no NUL, shorter than the buffer", "COM5", 4, true, "COM5"},
      {"first string of several", std::string("ab\0cd\0\0", 7), 7, true, "ab"},
      {"empty", "", 0, true, ""},
      {"259 bytes and NUL", Repeat('a', 259) + std::string(1, '\0'), 260, true, Repeat('a', 259)},
      {"260 bytes without NUL", Repeat('a', 260), 260, false, ""},
      {"size beyond the buffer", Repeat('a', 260), 261, false, ""},
  };
  for (const Row& row : rows) {
    // The buffer ends right after the returned bytes, with no NUL behind them to lean on.
    std::vector<char> buffer(row.data.begin(), row.data.end());
    buffer.resize(260, 'z');
    char text[260] = "unchanged";
    EXPECT_EQ(row.expectedRead, TextFromValueBytes(buffer.data(), row.size, 260, text)) << row.what;
    if (row.expectedRead) {
      EXPECT_EQ(row.expected, std::string(text)) << row.what;
    }
  }
}

// Stand-ins for RegEnumKeyExA that produce what a prefix cannot hold: a name too long for the
// buffer (Wine caps key names below 260 bytes), or a key deleted during the walk.
const char* g_tooLongName = nullptr;
int g_calls = 0;
int g_failFromIndex = -1;

LONG WINAPI EnumWithTooLongName(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                                LPSTR cls, LPDWORD classLength, PFILETIME lastWrite) {
  ++g_calls;
  if (g_calls > 100) return ERROR_NO_MORE_ITEMS;  // keeps a walk that never ends from hanging
  if (g_failFromIndex >= 0 && index >= static_cast<DWORD>(g_failFromIndex)) {
    return ERROR_KEY_DELETED;
  }
  LONG result = RegEnumKeyExA(key, index, name, length, reserved, cls, classLength, lastWrite);
  if (result == ERROR_SUCCESS && g_tooLongName != nullptr && lstrcmpA(name, g_tooLongName) == 0) {
    // What the real call leaves: a buffer of name bytes with no NUL, and the length it needs.
    for (DWORD i = 0; i < 260; ++i) name[i] = 'L';
    *length = 300;
    return ERROR_MORE_DATA;
  }
  return result;
}

class PortEnumerationTest : public PortRegistryTest {
 protected:
  void SetUp() override {
    PortRegistryTest::SetUp();
    g_tooLongName = nullptr;
    g_calls = 0;
    g_failFromIndex = -1;
    SetEnumKeyFunctionForTesting(&EnumWithTooLongName);
    for (const char* instance : {"0000", "0001", "0002"}) {
      SetValue(PortInstance(instance), "HardwareID", REG_MULTI_SZ,
               Multi({"UMDF\\OrvikPortEmulator"}));
      SetValue(PortParameters(instance), "PortName", REG_SZ, Text(std::string("COM") + instance));
      SetNumber(UsbParameters(instance), "OrvCuIndex", 0);
      SetNumber(UsbParameters(instance), "OrvCOMPortForQX", 1 + instance[3] - '0');
    }
  }
  void TearDown() override {
    SetEnumKeyFunctionForTesting(nullptr);
    PortRegistryTest::TearDown();
  }

  static std::vector<std::string> PortNames() {
    std::vector<std::string> names;
    for (const EmulatorPortRecord& r : CollectEmulatorPorts()) names.push_back(r.portName);
    return names;
  }
  static std::vector<std::uint32_t> UsbPorts() {
    std::vector<std::uint32_t> ports;
    for (const UsbRecord& r : CollectUsbPortAssignments()) ports.push_back(r.portNumber);
    return ports;
  }
};

TEST_F(PortEnumerationTest, AllInstancesThroughTheStandIn) {
  EXPECT_EQ((std::vector<std::string>{"COM0000", "COM0001", "COM0002"}), PortNames());
  EXPECT_EQ((std::vector<std::uint32_t>{1, 2, 3}), UsbPorts());
}

TEST_F(PortEnumerationTest, AnOverLongNameIsSkippedAndTheWalkGoesOn) {
  g_tooLongName = "0001";
  EXPECT_EQ((std::vector<std::string>{"COM0000", "COM0002"}), PortNames());
  EXPECT_EQ((std::vector<std::uint32_t>{1, 3}), UsbPorts());
}

TEST_F(PortEnumerationTest, AKeyGoneDuringTheWalkEndsIt) {
  g_failFromIndex = 1;
  EXPECT_EQ((std::vector<std::string>{"COM0000"}), PortNames());
  EXPECT_EQ(2, g_calls);
  g_calls = 0;
  EXPECT_EQ((std::vector<std::uint32_t>{1}), UsbPorts());
  EXPECT_EQ(2, g_calls);
}

}  // namespace
}  // namespace ports_test
