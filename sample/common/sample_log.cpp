#include "sample_log.h"

#include <windows.h>

namespace {

std::wstring LogPath() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return L"";
  return std::wstring(temp) + L"PortivoSample.log";
}

void AppendBytes(const std::string& bytes) {
  std::wstring path = LogPath();
  if (path.empty()) return;
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // Another sample program may have appended since; writes go to the current end.
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring Padded(unsigned value, std::size_t width) {
  std::wstring digits = DecimalText(value);
  return std::wstring(digits.size() < width ? width - digits.size() : 0, L'0') + digits;
}

std::wstring LinePrefix(const wchar_t* program) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Padded(now.wYear, 4) + L"-" + Padded(now.wMonth, 2) + L"-" + Padded(now.wDay, 2) + L" " +
         Padded(now.wHour, 2) + L":" + Padded(now.wMinute, 2) + L":" + Padded(now.wSecond, 2) +
         L" [" + program + L" " + DecimalText(GetCurrentProcessId()) + L"] ";
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
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

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring DecimalText(long long value) {
  // Formatted by hand: the printf family of the Windows 2000 runtime lacks "%lld".
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return value < 0 ? L"-" + digits : digits;
}

void SampleLog(const wchar_t* program, const std::wstring& text) {
  AppendBytes(ToUtf8(LinePrefix(program) + text + L"\r\n"));
}

void SampleLogText(const wchar_t* program, const std::wstring& heading, const std::string& text) {
  std::wstring block = LinePrefix(program) + heading + L"\r\n";
  std::wstring body = FromAnsi(text);
  std::size_t pos = 0;
  while (pos < body.size()) {
    std::size_t end = body.find(L'\n', pos);
    if (end == std::wstring::npos) end = body.size();
    std::wstring line = body.substr(pos, end - pos);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    block += L"    | " + line + L"\r\n";
    pos = end + 1;
  }
  AppendBytes(ToUtf8(block));
}
