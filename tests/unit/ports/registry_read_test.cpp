#include "ports/registry_read.h"

#include <gtest/gtest.h>

#include "test_registry.h"
#include "ports/emulator_ports.h"

namespace ports_test {
namespace {

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
