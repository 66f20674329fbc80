#include "port_registry_seed.h"

#include "test_registry.h"

namespace ports_test {

const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_3c9e&Pid_0202";
const char kPortsKey[] = "SYSTEM\\CurrentControlSet\\Enum\\Root\\PORTS";

namespace {

const char kUsbRootKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";

// The fixed paths are ASCII.
std::wstring Wide(const char* path) { return std::wstring(path, path + strlen(path)); }

DWORD SubKeyCount(const char* path) {
  HKEY key;
  DWORD count = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return count;
}

}  // namespace

std::string Text(const std::string& text) { return text + std::string(1, '\0'); }

std::string Multi(const std::vector<std::string>& strings) {
  std::string bytes;
  for (const std::string& s : strings) bytes += Text(s);
  return bytes + std::string(1, '\0');
}

std::string Dword(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

void PortRegistryTest::SetUp() {
  usbRootExisted_ = testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbRootKey));
  portsExisted_ = testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kPortsKey));
  // Keys of the prefix's own are never touched; the tests need a prefix without such devices.
  ASSERT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbDeviceKey))) << "the prefix holds the USB device key";
  ASSERT_EQ(0u, SubKeyCount(kPortsKey)) << "the prefix holds root port devices";
  prefixClean_ = true;
}

void PortRegistryTest::TearDown() {
  if (!prefixClean_) return;
  RemoveSeeds();
  EXPECT_EQ(usbRootExisted_, testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbRootKey)));
  EXPECT_EQ(portsExisted_, testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kPortsKey)));
}

void PortRegistryTest::SetValue(const std::string& path, const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr)) << path;
  const LONG result = name == nullptr ? ERROR_SUCCESS
                                      : RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                                       static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, result) << path << " " << (name ? name : "");
}

void PortRegistryTest::RemoveSeeds() {
  testreg::DeleteKeyTree(HKEY_LOCAL_MACHINE, Wide(usbRootExisted_ ? kUsbDeviceKey : kUsbRootKey));
  testreg::DeleteKeyTree(HKEY_LOCAL_MACHINE, Wide(kPortsKey), portsExisted_);
}

}  // namespace ports_test
