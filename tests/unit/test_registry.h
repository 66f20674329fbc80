// Registry helpers shared by the unit and end-to-end tests. The prefix's registry is real, so
// every case puts back what it changed.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testreg {

// Where the removal run reads the folders it tidies (HKLM): "ProgramFilesPath" and "Common Programs".
const wchar_t kProgramFilesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

inline bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Creates the key when it is missing; sets no value when name is null.
inline bool SetValue(HKEY root, const std::wstring& path, const wchar_t* name = nullptr, DWORD type = 0,
                     const void* data = nullptr, DWORD size = 0) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      name == nullptr ? ERROR_SUCCESS : RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
inline bool CreateKey(HKEY root, const std::wstring& path) { return SetValue(root, path); }
inline bool SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
  return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}
// Text with its terminator, as Windows itself stores it.
inline bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const std::wstring& text) {
  return SetValue(root, path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

struct RegValue {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
  DWORD AsDword() const {
    DWORD value = 0;
    if (data.size() == sizeof value) CopyMemory(&value, data.data(), sizeof value);
    return value;
  }
};

inline RegValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegValue value;
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
  }
  RegCloseKey(key);
  return value;
}

inline void DeleteValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

// Deletes root\path with everything below it; with childrenOnly the key itself stays.
inline void DeleteKeyTree(HKEY root, const std::wstring& path, bool childrenOnly = false) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  wchar_t child[512];
  DWORD length = 512;
  while (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    DeleteKeyTree(key, child);
    length = 512;
  }
  RegCloseKey(key);
  if (!childrenOnly) RegDeleteKeyW(root, path.c_str());
}

// A registry value as it was when the object was made, put back when it goes (also when the case
// failed half-way); a key made only for the case goes too.
class SavedValue {
 public:
  SavedValue(HKEY root, std::wstring path, const wchar_t* name)
      : root_(root), path_(std::move(path)), name_(name), keyExisted_(KeyExists(root_, path_)),
        saved_(ReadValue(root_, path_, name_)) {}
  ~SavedValue() {
    if (saved_.present) {
      SetValue(root_, path_, name_, saved_.type, saved_.data.data(), static_cast<DWORD>(saved_.data.size()));
      return;
    }
    DeleteValue(root_, path_, name_);
    if (!keyExisted_) RegDeleteKeyW(root_, path_.c_str());
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  HKEY root_;
  std::wstring path_;
  const wchar_t* name_;
  bool keyExisted_;
  RegValue saved_;
};

}  // namespace testreg

// Seeding for the port walks: the USB device key and the root ports key, which a case finds
// holding no instance and leaves so.
namespace ports_test {

const char kUsbRootKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_3c9e&Pid_0202";
const char kPortsKey[] = "SYSTEM\\CurrentControlSet\\Enum\\Root\\PORTS";

inline std::string UsbParameters(const std::string& instance) {
  return std::string(kUsbDeviceKey) + "\\" + instance + "\\Device Parameters";
}
inline std::string PortInstance(const std::string& instance) { return std::string(kPortsKey) + "\\" + instance; }
inline std::string PortParameters(const std::string& instance) { return PortInstance(instance) + "\\Device Parameters"; }

// Value data as stored, byte for byte.
inline std::string Text(const std::string& text) { return text + std::string(1, '\0'); }
inline std::string Multi(const std::vector<std::string>& strings) {
  std::string bytes;
  for (const std::string& s : strings) bytes += Text(s);
  return bytes + std::string(1, '\0');
}
inline std::string Dword(std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

// Windows lets only SYSTEM write below Enum (Wine lets anybody): an administrator makes the keys
// there as a restore program does, with the restore privilege, each key such that administrators
// may delete it again.
inline LONG CreateKeyAsRestore(const std::string& path, HKEY* key) {
  HANDLE token;
  TOKEN_PRIVILEGES restore = {1, {}};
  restore.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    if (LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &restore.Privileges[0].Luid)) {
      AdjustTokenPrivileges(token, FALSE, &restore, 0, nullptr, nullptr);
    }
    CloseHandle(token);
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;CI;KA;;;BA)(A;CI;KA;;;SY)", SDDL_REVISION_1,
                                                       &attributes.lpSecurityDescriptor, nullptr);
  const LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE, 0,
                                      &attributes, key, nullptr);
  LocalFree(attributes.lpSecurityDescriptor);
  return result;
}

// Creates HKLM\path as needed and stores exactly these bytes, 8-bit, so that the walks read them
// back unconverted; a null name only creates the key.
inline void SetValue(const std::string& path, const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result == ERROR_ACCESS_DENIED) result = CreateKeyAsRestore(path, &key);
  if (result == ERROR_SUCCESS) {
    if (name != nullptr) {
      result = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
  }
  EXPECT_EQ(ERROR_SUCCESS, result) << path << " " << (name ? name : "");
}
inline void SetNumber(const std::string& path, const char* name, std::uint32_t value) {
  SetValue(path, name, REG_DWORD, Dword(value));
}

// Keys of the prefix's own are never touched: Begin refuses a prefix that holds such devices.
class PortSeeds {
 public:
  bool Begin() {
    usbRootExisted_ = testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbRootKey));
    portsExisted_ = testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kPortsKey));
    HKEY ports;
    DWORD instances = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &ports) == ERROR_SUCCESS) {
      RegQueryInfoKeyA(ports, nullptr, nullptr, nullptr, &instances, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
      RegCloseKey(ports);
    }
    begun_ = !testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbDeviceKey)) && instances == 0;
    return begun_;
  }
  ~PortSeeds() {
    if (!begun_) return;
    testreg::DeleteKeyTree(HKEY_LOCAL_MACHINE, Wide(usbRootExisted_ ? kUsbDeviceKey : kUsbRootKey));
    testreg::DeleteKeyTree(HKEY_LOCAL_MACHINE, Wide(kPortsKey), portsExisted_);
    EXPECT_EQ(usbRootExisted_, testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kUsbRootKey)));
    EXPECT_EQ(portsExisted_, testreg::KeyExists(HKEY_LOCAL_MACHINE, Wide(kPortsKey)));
  }

 private:
  static std::wstring Wide(const char* path) { return std::wstring(path, path + strlen(path)); }  // ASCII
  bool begun_ = false;
  bool usbRootExisted_ = false;
  bool portsExisted_ = false;
};

class PortRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(seeds_.Begin()) << "the prefix holds USB or root port devices"; }
  PortSeeds seeds_;
};

}  // namespace ports_test
