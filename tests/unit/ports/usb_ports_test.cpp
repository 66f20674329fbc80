#include "ports/usb_ports.h"

#include <gtest/gtest.h>

#include "port_registry_seed.h"

namespace ports_test {

static void PrintTo(const UsbRecord& r, std::ostream* os) {
  *os << "(" << r.portNumber << ", " << r.portRole << ", " << r.instanceName << ")";
}
namespace {

// A value stored with these exact bytes; kMissing leaves it out.
const char kMissing[] = "missing";
struct Value {
  std::string bytes;
  Value(std::uint32_t number) : bytes(Dword(number)) {}
  Value(const char* raw) : bytes(raw) {}
  Value(std::string raw) : bytes(std::move(raw)) {}
};

struct Row {
  const char* what;
  Value cuIndex, portQX, enabledQX, portKD, enabledKD;
  std::vector<UsbRecord> expected;
};

class UsbPortsTest : public PortRegistryTest {
 protected:
  void SeedInstance(const std::string& instance, const Row& row) {
    CreateKey(UsbParameters(instance));
    const std::pair<const char*, const Value*> values[] = {
        {"OrvCuIndex", &row.cuIndex}, {"OrvCOMPortForQX", &row.portQX}, {"OrvEnabledPortQX", &row.enabledQX},
        {"OrvCOMPortForKD", &row.portKD}, {"OrvEnabledPortKD", &row.enabledKD}};
    for (const auto& value : values) {
      if (value.second->bytes != kMissing) {
        SetValue(UsbParameters(instance), value.first, REG_DWORD, value.second->bytes);
      }
    }
  }
};

TEST_F(UsbPortsTest, OneInstanceYieldsItsEnabledPortsQxFirst) {
  EXPECT_TRUE(CollectUsbPortAssignments().empty()) << "no device key";
  const std::string inst = "A1B2C3D4";
  const Row rows[] = {
      {"QX and KD", 0u, 3u, kMissing, 4u, 1u, {{3, 0, inst}, {4, 1, inst}}},
      {"no OrvCuIndex", kMissing, 3u, 1u, 4u, 1u, {}},
      {"any OrvCuIndex value", 0xFFFFFFFFu, 3u, kMissing, kMissing, kMissing, {{3, 0, inst}}},
      {"no port values", 0u, kMissing, kMissing, kMissing, kMissing, {}},
      {"QX port 0", 0u, 0u, kMissing, kMissing, kMissing, {}},
      {"QX port 1", 0u, 1u, kMissing, kMissing, kMissing, {{1, 0, inst}}},
      {"QX port 40", 0u, 40u, kMissing, kMissing, kMissing, {{40, 0, inst}}},
      {"QX port 41", 0u, 41u, kMissing, kMissing, kMissing, {}},
      {"QX port 4294967295", 0u, 0xFFFFFFFFu, kMissing, kMissing, kMissing, {}},
      {"QX enabled 0", 0u, 3u, 0u, kMissing, kMissing, {}},
      {"QX enabled 1", 0u, 3u, 1u, kMissing, kMissing, {{3, 0, inst}}},
      {"QX enabled 2", 0u, 3u, 2u, kMissing, kMissing, {}},
      {"QX disabled, KD still examined", 0u, 3u, 0u, 4u, kMissing, {{4, 1, inst}}},
      {"KD port 40", 0u, kMissing, kMissing, 40u, kMissing, {{40, 1, inst}}},
      {"KD port 41", 0u, kMissing, kMissing, 41u, 1u, {}},
      {"KD enabled 0", 0u, 3u, 1u, 4u, 0u, {{3, 0, inst}}},
      {"KD enabled 2", 0u, 3u, 1u, 4u, 2u, {{3, 0, inst}}},
      {"same port for both", 1u, 5u, 1u, 5u, 1u, {{5, 0, inst}, {5, 1, inst}}},
      // Numbers of any other size than 4 bytes count as missing.
      {"OrvCuIndex of 2 bytes", std::string("\1\0", 2), 3u, kMissing, kMissing, kMissing, {}},
      {"QX port of 2 bytes", 0u, std::string("\3\0", 2), kMissing, kMissing, kMissing, {}},
      {"QX enabled of 2 bytes", 0u, 3u, std::string("\0\0", 2), kMissing, kMissing, {{3, 0, inst}}},
      {"KD port of 8 bytes", 0u, kMissing, kMissing, Dword(4) + Dword(0), kMissing, {}},
  };
  for (const Row& row : rows) {
    SeedInstance(inst, row);
    EXPECT_EQ(row.expected, CollectUsbPortAssignments()) << row.what;
    RemoveSeeds();
  }
}

TEST_F(UsbPortsTest, InstancesComeInEnumerationOrder) {
  SeedInstance("Z9", {"", 1u, 7u, 0u, kMissing, kMissing, {}});
  SeedInstance("A1B2C3D4", {"", 0u, 3u, 1u, 4u, kMissing, {}});
  SeedInstance("5&1a2b,c", {"", 0u, 12u, kMissing, kMissing, kMissing, {}});
  SeedInstance("Y8", {"", 0u, 8u, kMissing, 9u, kMissing, {}});
  CreateKey(std::string(kUsbDeviceKey) + "\\NoParameters");  // no "Device Parameters": skipped
  const std::vector<UsbRecord> expected = {
      {12, 0, "5&1a2b,c"}, {3, 0, "A1B2C3D4"}, {4, 1, "A1B2C3D4"}, {8, 0, "Y8"}, {9, 1, "Y8"}};
  EXPECT_EQ(expected, CollectUsbPortAssignments());
}

}  // namespace
}  // namespace ports_test
