#include "port_registry_seed.h"

namespace ports_test {

const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_3c9e&Pid_0202";
const char kPortsKey[] = "SYSTEM\\CurrentControlSet\\Enum\\Root\\PORTS";

namespace {

const char kUsbRootKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
// Stored in a container key that these tests created, so that a run killed half-way is cleaned up
// by the next one instead of being mistaken for keys of the prefix.
const char kSeedMarker[] = "PortivoPortsTestSeed";

// Whether HKLM\path exists; also its sub-key count and whether it carries the marker.
bool KeyExists(const std::string& path, DWORD* subKeys = nullptr, bool* marked = nullptr) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  if (subKeys != nullptr) {
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
  }
  if (marked != nullptr) *marked = RegQueryValueExA(key, kSeedMarker, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return true;
}

bool HasMarker(const std::string& path) {
  bool marked = false;
  return KeyExists(path, nullptr, &marked) && marked;
}

DWORD SubKeyCount(const std::string& path) {
  DWORD count = 0;
  return KeyExists(path, &count) ? count : 0;
}

void DeleteTree(HKEY parent, const wchar_t* name);

void DeleteChildren(HKEY key) {
  for (;;) {
    wchar_t child[512];
    DWORD length = 512;
    if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    DeleteTree(key, child);
  }
}

// Deletes parent\name with everything below it. Wide names, so that no seeded name is lost to the
// code page.
void DeleteTree(HKEY parent, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  DeleteChildren(key);
  RegCloseKey(key);
  RegDeleteKeyW(parent, name);
}

// The fixed paths are ASCII.
void DeleteTree(const std::string& path) { DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(path.begin(), path.end()).c_str()); }

void DeleteChildren(const std::string& path) {
  HKEY key;
  const std::wstring wide(path.begin(), path.end());
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  DeleteChildren(key);
  RegCloseKey(key);
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

std::string Repeat(char c, std::size_t count) { return std::string(count, c); }

std::string PortRegistryTest::UsbParameters(const std::string& instance) {
  return std::string(kUsbDeviceKey) + "\\" + instance + "\\Device Parameters";
}

std::string PortRegistryTest::PortInstance(const std::string& instance) {
  return std::string(kPortsKey) + "\\" + instance;
}

std::string PortRegistryTest::PortParameters(const std::string& instance) {
  return PortInstance(instance) + "\\Device Parameters";
}

void PortRegistryTest::SetUp() {
  for (const char* container : {kUsbRootKey, kUsbDeviceKey, kPortsKey}) {
    if (HasMarker(container)) DeleteTree(container);
  }
  usbRootExisted_ = KeyExists(kUsbRootKey);
  portsExisted_ = KeyExists(kPortsKey);
  // Keys of the prefix's own are never touched; the tests need a prefix without such devices.
  ASSERT_FALSE(KeyExists(kUsbDeviceKey)) << "the test prefix already holds the USB device key";
  ASSERT_EQ(0u, SubKeyCount(kPortsKey)) << "the test prefix already holds root port devices";
  prefixClean_ = true;
}

void PortRegistryTest::TearDown() {
  // A prefix that came with such devices was refused in SetUp; its keys are not ours to remove.
  if (!prefixClean_) return;
  RemoveSeeds();
  EXPECT_EQ(usbRootExisted_, KeyExists(kUsbRootKey));
  EXPECT_FALSE(KeyExists(kUsbDeviceKey));
  EXPECT_EQ(portsExisted_, KeyExists(kPortsKey));
  EXPECT_EQ(0u, SubKeyCount(kPortsKey));
}

// The top key this fixture creates carries the marker.
void PortRegistryTest::PrepareContainer(const std::string& path) {
  const bool usb = path.compare(0, sizeof kUsbRootKey - 1, kUsbRootKey) == 0;
  const std::string top = usb ? (usbRootExisted_ ? kUsbDeviceKey : kUsbRootKey) : kPortsKey;
  if ((!usb && portsExisted_) || KeyExists(top)) return;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, top.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, kSeedMarker, 0, REG_DWORD, reinterpret_cast<const BYTE*>("\1\0\0\0"), 4);
  RegCloseKey(key);
}

void PortRegistryTest::CreateKey(const std::string& path) { SetValue(path, nullptr, 0, ""); }

// A null name only creates the key.
void PortRegistryTest::SetValue(const std::string& path, const char* name, DWORD type,
                                const std::string& bytes) {
  PrepareContainer(path);
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr))
      << path;
  LONG result = name == nullptr ? ERROR_SUCCESS
                                : RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, result) << path << " " << (name ? name : "");
}

void PortRegistryTest::RemoveSeeds() {
  DeleteTree(usbRootExisted_ ? kUsbDeviceKey : kUsbRootKey);
  if (portsExisted_) {
    DeleteChildren(kPortsKey);
  } else {
    DeleteTree(kPortsKey);
  }
}

}  // namespace ports_test
