// Shared helpers of the unit tests (and the end-to-end tests): a fresh folder per test under the
// temporary folder, file readers and writers, and HKLM seeding that puts things back.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "payload/delete_tree.h"

class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    path_ = std::wstring(temp) + L"portivo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  // True when the folder and everything in it are gone.
  bool Remove() {
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    DeleteFolderTree(path_);
    return GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::wstring path_;
};

// Writes bytes to a new file; true on success.
inline bool WriteTestFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// The whole content of a file, or "<missing>".
inline std::string ReadTestFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read != 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// HKLM values for the unit tests; in a namespace of their own beside the end-to-end helpers.
namespace testreg {

inline bool KeyExists(const wchar_t* path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Creates the key as needed; a null name stores nothing. True on success.
inline bool SetValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG result = name == nullptr ? ERROR_SUCCESS
                                : RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

inline bool SetText(const wchar_t* path, const wchar_t* name, DWORD type, const std::wstring& text) {
  return SetValue(path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline void DeleteValue(const wchar_t* path, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

// A value's type and bytes, or present == false.
struct Value {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

inline Value ReadValue(const wchar_t* path, const wchar_t* name) {
  Value value;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
  }
  RegCloseKey(key);
  return value;
}

// A value as it was before the test, put back when the holder goes.
class SavedValue {
 public:
  SavedValue(const wchar_t* path, const wchar_t* name) : path_(path), name_(name), saved_(ReadValue(path, name)) {}
  ~SavedValue() {
    if (saved_.present) {
      SetValue(path_, name_, saved_.type, saved_.data.data(), static_cast<DWORD>(saved_.data.size()));
    } else {
      DeleteValue(path_, name_);
    }
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  const wchar_t* path_;
  const wchar_t* name_;
  Value saved_;
};

}  // namespace testreg
