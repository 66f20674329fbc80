// Registry seeding for the port walks' tests (unit and end-to-end): the USB device key and the
// root ports key. Each test starts with neither holding any instance and leaves them so.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ports_test {

extern const char kUsbDeviceKey[];  // ...\Enum\USB\Vid_3c9e&Pid_0202
extern const char kPortsKey[];      // ...\Enum\Root\PORTS

// Value data as stored, byte for byte.
std::string Text(const std::string& text);                   // with its NUL
std::string Multi(const std::vector<std::string>& strings);  // REG_MULTI_SZ, double NUL
std::string Dword(std::uint32_t value);                      // 4 bytes, little-endian

class PortRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates HKLM\path as needed and stores the value with exactly these bytes (8-bit, so that the
  // walks read them back unconverted); a null name only creates the key.
  void SetValue(const std::string& path, const char* name, DWORD type, const std::string& bytes);
  void SetNumber(const std::string& path, const char* name, std::uint32_t value) {
    SetValue(path, name, REG_DWORD, Dword(value));
  }
  // Removes every instance seeded so far; table rows call it between rows.
  void RemoveSeeds();

  static std::string UsbParameters(const std::string& instance) {
    return std::string(kUsbDeviceKey) + "\\" + instance + "\\Device Parameters";
  }
  static std::string PortInstance(const std::string& instance) { return std::string(kPortsKey) + "\\" + instance; }
  static std::string PortParameters(const std::string& instance) { return PortInstance(instance) + "\\Device Parameters"; }

 private:
  bool usbRootExisted_ = false;
  bool portsExisted_ = false;
  bool prefixClean_ = false;  // SetUp found no devices of the prefix's own
};

}  // namespace ports_test
