#include "ports/registry_read.h"

#include "common/bounded_text.h"

namespace {

EnumKeyFunction g_enumKey = &RegEnumKeyExA;

}  // namespace

void SetEnumKeyFunctionForTesting(EnumKeyFunction function) {
  g_enumKey = function != nullptr ? function : &RegEnumKeyExA;
}

HKEY OpenMachineKeyForRead(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

SubKeyStep EnumerateSubKey(HKEY key, DWORD index, char (&name)[kRegistryTextBytes]) {
  char buffer[kRegistryTextBytes];
  DWORD length = kRegistryTextBytes;
  FILETIME lastWrite;
  LONG result = g_enumKey(key, index, buffer, &length, nullptr, nullptr, nullptr, &lastWrite);
  if (result == ERROR_SUCCESS) {
    // The length excludes the NUL; a name that claims not to fit is skipped, not trusted.
    if (length >= kRegistryTextBytes) return SubKeyStep::kSkip;
    BoundedCopyPart(name, kRegistryTextBytes, buffer, length);
    return SubKeyStep::kFound;
  }
  if (result == ERROR_MORE_DATA) return SubKeyStep::kSkip;
  return SubKeyStep::kEnd;
}

bool TextFromValueBytes(const char* data, DWORD size, DWORD capacity, char (&text)[kRegistryTextBytes]) {
  if (size > capacity) return false;
  const DWORD length = static_cast<DWORD>(BoundedLength(data, size));
  if (length == capacity) return false;
  return BoundedCopyPart(text, kRegistryTextBytes, data, length);
}

bool JoinKeyPath(char (&path)[kRegistryPathBytes], const char* key, const char* subKey, const char* tail) {
  return BoundedCopy(path, kRegistryPathBytes, key) && BoundedAppend(path, kRegistryPathBytes, "\\") &&
         BoundedAppend(path, kRegistryPathBytes, subKey) && BoundedAppend(path, kRegistryPathBytes, tail);
}

bool ReadTextValue(HKEY key, const char* valueName, char (&text)[kRegistryTextBytes]) {
  char buffer[kRegistryTextBytes] = {};
  DWORD size = kRegistryTextBytes;
  DWORD type = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  return TextFromValueBytes(buffer, size, kRegistryTextBytes, text);
}

bool ReadNumberValue(HKEY key, const char* valueName, std::uint32_t& value) {
  DWORD number = 0;
  DWORD size = sizeof number;
  DWORD type = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
          ERROR_SUCCESS ||
      size != sizeof number) {
    return false;
  }
  value = number;
  return true;
}
