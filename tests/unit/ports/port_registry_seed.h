// Registry seeding for the port walks' tests: the USB device key and the root ports key of the
// prefix the tests run in. Each test starts with neither holding any instance and leaves them so.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ports/emulator_ports.h"
#include "ports/usb_ports.h"

namespace ports_test {

// The walks' records gathered as the tests compare them.
struct UsbRecord {
  std::uint32_t portNumber;
  std::uint32_t portRole;
  std::string instanceName;
  bool operator==(const UsbRecord& other) const {
    return portNumber == other.portNumber && portRole == other.portRole &&
           instanceName == other.instanceName;
  }
};
std::vector<UsbRecord> CollectUsbPortAssignments();
std::vector<EmulatorPortRecord> CollectEmulatorPorts();

extern const char kUsbDeviceKey[];  // ...\Enum\USB\Vid_3c9e&Pid_0202
extern const char kPortsKey[];      // ...\Enum\Root\PORTS

// Value data as stored, byte for byte.
std::string Text(const std::string& text);                   // with its NUL
std::string Multi(const std::vector<std::string>& strings);  // REG_MULTI_SZ, double NUL
std::string Dword(std::uint32_t value);                      // 4 bytes, little-endian
std::string Repeat(char c, std::size_t count);

class PortRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates HKLM\path (and what lies between) without values.
  void CreateKey(const std::string& path);
  // Creates HKLM\path as needed and stores the value with exactly these bytes (no name: no value).
  void SetValue(const std::string& path, const char* name, DWORD type, const std::string& bytes);
  void SetNumber(const std::string& path, const char* name, std::uint32_t value) {
    SetValue(path, name, REG_DWORD, Dword(value));
  }
  // Removes every instance seeded so far; table rows call it between rows.
  void RemoveSeeds();

  static std::string UsbParameters(const std::string& instance);
  static std::string PortInstance(const std::string& instance);
  static std::string PortParameters(const std::string& instance);

 private:
  void PrepareContainer(const std::string& path);
  bool usbRootExisted_ = false;
  bool portsExisted_ = false;
  bool prefixClean_ = false;  // SetUp found no devices of the prefix's own
};

}  // namespace ports_test
