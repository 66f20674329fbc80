// Registry and folder state that end-to-end cases seed, inspect and put back: the driver's service
// keys, the values that name the program and start-menu folders, Wine's per-program settings, and
// listings of folders the installer writes into.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {

const wchar_t kKernelServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";

inline bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline bool CreateKey(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Creates the key when it is missing.
inline bool SetValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                     const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

inline bool SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
  return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

// Text with its terminator, as Windows itself stores it.
inline bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                    const std::wstring& text) {
  return SetValue(root, path, name, type, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline void DeleteValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
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
    value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) ==
                    ERROR_SUCCESS;
    value.data.resize(size);
  }
  RegCloseKey(key);
  return value;
}

// A registry value as it was when the object was made, put back when it goes (also when the case
// failed half-way).
class SavedValue {
 public:
  SavedValue(HKEY root, std::wstring path, const wchar_t* name)
      : root_(root), path_(std::move(path)), name_(name), keyExisted_(KeyExists(root_, path_)),
        saved_(ReadValue(root_, path_, name_)) {}
  ~SavedValue() {
    if (saved_.present) {
      SetValue(root_, path_, name_, saved_.type, saved_.data.data(),
               static_cast<DWORD>(saved_.data.size()));
    } else {
      DeleteValue(root_, path_, name_);
      // A key made only for the case goes too, unless something else now lives in it.
      if (!keyExisted_) RegDeleteKeyW(root_, path_.c_str());
    }
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

// Wine's Windows version for one program, by its file name ("nt40", "win2k", ...).
class ProgramWindowsVersion {
 public:
  ProgramWindowsVersion(const std::wstring& exeName, const std::wstring& version)
      : saved_(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + exeName, L"Version") {
    ok_ = SetText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + exeName, L"Version", REG_SZ,
                  version);
  }
  bool ok() const { return ok_; }

 private:
  SavedValue saved_;
  bool ok_ = false;
};

// The driver's service keys must be absent when a case starts (the unit tests need that too), and
// each case leaves them absent again, whatever it created or the installer wrote into them.
class ServiceKeysTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey))
        << "the test prefix already has the kernel-mode driver's service key";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEmulatorServiceKey))
        << "the test prefix already has the emulator's service key";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEmulatorServiceKey));
    InstallerTest::TearDown();
  }
};

// One entry below a folder: "sub\name" for a file, "sub\name\" for a folder.
struct ListedEntry {
  std::wstring path;
  unsigned long long size = 0;
  FILETIME written = {};
  bool operator==(const ListedEntry& other) const {
    return path == other.path && size == other.size &&
           CompareFileTime(&written, &other.written) == 0;
  }
};

// Everything below folder (dot names included), sorted by path.
inline std::vector<ListedEntry> ListTree(std::wstring folder, const std::wstring& prefix = L"") {
  std::vector<ListedEntry> entries;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    ListedEntry entry;
    entry.written = data.ftLastWriteTime;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.path = prefix + name + L"\\";
      entries.push_back(entry);
      std::vector<ListedEntry> below = ListTree(folder, entry.path);
      entries.insert(entries.end(), below.begin(), below.end());
    } else {
      entry.path = prefix + name;
      entry.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      entries.push_back(entry);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(entries.begin(), entries.end(),
            [](const ListedEntry& a, const ListedEntry& b) { return a.path < b.path; });
  return entries;
}

inline std::vector<std::wstring> ListedPaths(const std::vector<ListedEntry>& entries) {
  std::vector<std::wstring> paths;
  for (const ListedEntry& entry : entries) paths.push_back(entry.path);
  return paths;
}

// Removes a folder with everything in it, dot names included (the installer's own deletion
// leaves those).
inline void RemoveWholeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = folder + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveWholeTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(folder.c_str());
}

// The removal log of the clean-up library and emulator setup probes; no lines when neither ran.
inline std::vector<runner::Fields> ReadRemovalLog(const std::wstring& path) {
  std::vector<runner::Fields> lines;
  if (runner::ReadProbeLog(path, &lines) != runner::kRunnerOk) lines.clear();
  return lines;
}

inline std::vector<std::string> KindsOf(const std::vector<runner::Fields>& lines) {
  std::vector<std::string> kinds;
  for (const runner::Fields& line : lines) kinds.push_back(runner::ValueOf(line, "kind"));
  return kinds;
}

}  // namespace e2e
