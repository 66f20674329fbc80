// Registry helpers shared by the unit and end-to-end tests. The prefix's registry is real, so
// every case puts back what it changed.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace testreg {

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
