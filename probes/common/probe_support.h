// Small helpers shared by the test probes: reading their controls from the environment, numbers
// in decimal or 0x-hex, UTF-8 record lines, and a CRC-32 so that a record can prove a file's bytes.
// Header-only because the 64-bit emulator probe is compiled by a plain compiler call.
#pragma once
#include <windows.h>

#include <string>

namespace probe {

// The variable's value; *present tells an empty value from a missing variable.
inline std::wstring ReadEnv(const wchar_t* name, bool* present) {
  wchar_t small[512];
  // An empty value also returns 0; only the error code tells it from a missing variable.
  SetLastError(ERROR_SUCCESS);
  DWORD n = GetEnvironmentVariableW(name, small, 512);
  if (present != nullptr) *present = n != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  if (n == 0) return std::wstring();
  if (n < 512) return std::wstring(small, n);
  std::wstring big(n, L'\0');
  DWORD m = GetEnvironmentVariableW(name, &big[0], n);
  big.resize(m < n ? m : 0);
  return big;
}

inline std::wstring ReadEnv(const wchar_t* name) { return ReadEnv(name, nullptr); }

// Decimal (optionally negative, kept as its two's complement) or 0x-hex, surrounding blanks
// allowed. False for anything else, including an empty text and values beyond 32 bits.
inline bool ParseNumber(const std::wstring& text, unsigned long* value) {
  std::size_t i = 0, end = text.size();
  while (i < end && (text[i] == L' ' || text[i] == L'\t')) ++i;
  while (end > i && (text[end - 1] == L' ' || text[end - 1] == L'\t')) --end;
  bool negative = false;
  unsigned base = 10;
  if (i < end && text[i] == L'-') {
    negative = true;
    ++i;
  } else if (end - i > 2 && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i == end) return false;
  unsigned long long v = 0;
  for (; i < end; ++i) {
    wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    v = v * base + digit;
    if (v > 0xFFFFFFFFull) return false;
  }
  if (negative) {
    if (v > 0x80000000ull) return false;
    v = (0x100000000ull - v) & 0xFFFFFFFFull;
  }
  *value = static_cast<unsigned long>(v);
  return true;
}

inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
  }
  return out;
}

inline std::string Decimal(unsigned long long value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::string out;
  while (n > 0) out.push_back(digits[--n]);
  return out;
}

inline std::string Hex8(unsigned long value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) out[i] = kDigits[value & 0xF];
  return out;
}

// CRC-32 (IEEE 802.3, reflected, the zip and PNG one). Start with 0 and feed the bytes in order.
inline unsigned long Crc32(unsigned long crc, const void* data, std::size_t size) {
  static unsigned long table[256];
  static bool ready = false;
  if (!ready) {
    for (unsigned long n = 0; n < 256; ++n) {
      unsigned long c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320ul ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  const unsigned char* p = static_cast<const unsigned char*>(data);
  crc = ~crc & 0xFFFFFFFFul;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc & 0xFFFFFFFFul;
}

// Writes all of bytes, looping over short writes. False when any part could not be written.
inline bool WriteAll(HANDLE file, const void* bytes, std::size_t size) {
  const char* p = static_cast<const char*>(bytes);
  while (size > 0) {
    DWORD chunk = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

// Replaces the file with text, flushed and closed before returning.
inline bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes.data(), bytes.size());
  ok = FlushFileBuffers(file) && ok;
  return CloseHandle(file) && ok;
}

// Appends "kind=<kind>|seq=<n>|<fields>" to a log that several processes write in turn; n is the
// line's 1-based position in the log, so that a test can read the order of events from it. A
// writer that finds the file busy retries for a while, so that no line is lost when two probes
// write at nearly the same time.
inline bool AppendLogLine(const std::wstring& path, const char* kind, const std::string& fields) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
      Sleep(10);
      continue;
    }
    unsigned long lines = 0;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      for (DWORD i = 0; i < got; ++i) lines += buffer[i] == '\n';
    }
    std::string line = std::string("kind=") + kind + "|seq=" + Decimal(lines + 1) + "|" + fields +
                       "\n";
    SetFilePointer(file, 0, nullptr, FILE_END);
    bool ok = WriteAll(file, line.data(), line.size());
    ok = FlushFileBuffers(file) && ok;
    return CloseHandle(file) && ok;
  }
  return false;
}

// Dies as a program with a bad pointer does: an access violation nobody handles (0xC0000005).
inline void CrashByNullWrite() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

inline std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH * 4);
  return std::wstring(path, n < MAX_PATH * 4 ? n : 0);
}

// The folder part of a path, with its trailing separator.
inline std::wstring FolderOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

inline std::wstring CurrentFolder() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, path);
  return std::wstring(path, n < MAX_PATH * 4 ? n : 0);
}

}  // namespace probe
