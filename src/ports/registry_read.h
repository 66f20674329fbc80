// The 8-bit registry reads that both port walks share. The installed driver's names and strings
// are copied into PORTS.dat byte for byte, so nothing here converts between code pages.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Bytes offered for every text value and every enumerated sub-key name, terminating NUL included.
constexpr DWORD kRegistryTextBytes = 260;
// Bytes for a key path below HKLM: a fixed key, a sub-key name of up to 259 bytes and a tail.
constexpr std::size_t kRegistryPathBytes = 520;

// Opens HKLM\path for reading (no WOW64 view flag: the Enum tree is not redirected). nullptr when
// the key cannot be opened; the caller closes a key it gets.
HKEY OpenMachineKeyForRead(const char* path);

enum class SubKeyStep {
  kFound,  // name holds the sub-key's name
  kSkip,   // this index cannot be read (its name does not fit); the next one may
  kEnd,    // no more sub-keys, or the key cannot be enumerated any longer
};

// The sub-key at index. Only an over-long name is skipped: any other failure ends the walk, so a
// key deleted while we walk it cannot keep us looping.
SubKeyStep EnumerateSubKey(HKEY key, DWORD index, char (&name)[kRegistryTextBytes]);

// Calls visit(name) for every readable sub-key of HKLM\path, in enumeration order; nothing when
// the key cannot be opened.
template <typename Visit>
void ForEachSubKey(const char* path, Visit visit) {
  HKEY key = OpenMachineKeyForRead(path);
  if (key == nullptr) return;
  char name[kRegistryTextBytes];
  for (DWORD index = 0;; ++index) {
    SubKeyStep step = EnumerateSubKey(key, index, name);
    if (step == SubKeyStep::kEnd) break;
    if (step == SubKeyStep::kFound) visit(name);
  }
  RegCloseKey(key);
}

// Text of the value, up to its first NUL. False when the read fails, including a value too long
// for the buffer, and when the returned bytes hold no NUL and fill the whole buffer: such a text
// cannot be held with its terminator, so it counts as missing like a longer one. For a
// REG_MULTI_SZ the text is its first string.
bool ReadTextValue(HKEY key, const char* valueName, char (&text)[kRegistryTextBytes]);

// A 4-byte number. False when the read fails or returns fewer than 4 bytes: a shorter value is
// no number the driver writes, so it counts as missing, as a longer one does.
bool ReadNumberValue(HKEY key, const char* valueName, std::uint32_t& value);

// Takes the text from the bytes a successful read returned (size of them, within a buffer of
// capacity bytes), never looking past size. Kept apart so the rule can be tested without a
// registry. text is left as it was when false.
bool TextFromValueBytes(const char* data, DWORD size, DWORD capacity, char (&text)[kRegistryTextBytes]);

// HKLM path of the parts joined: key + "\" + subKey, then tail (which brings its own separator).
// False (path emptied) when it does not fit.
bool JoinKeyPath(char (&path)[kRegistryPathBytes], const char* key, const char* subKey, const char* tail);

// Signature of RegEnumKeyExA. Tests replace the enumeration to produce names that the registry
// under test cannot hold; nullptr restores the real function.
using EnumKeyFunction = LONG(WINAPI*)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD,
                                      PFILETIME);
void SetEnumKeyFunctionForTesting(EnumKeyFunction function);
