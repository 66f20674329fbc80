#include "common/run_log.h"

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;

constexpr std::size_t kStampLength = 24;  // "2026-12-07 18:02:09.123 "
const wchar_t kEllipsis[] = L"...";

void GiveUp() {
  CloseHandle(g_log);
  g_log = INVALID_HANDLE_VALUE;
}

// A whole line in one write, so that a run that is killed leaves every line it finished.
void WriteUnits(const wchar_t* units, std::size_t count) {
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(count * sizeof(wchar_t));
  if (!WriteFile(g_log, units, bytes, &written, nullptr) || written != bytes) GiveUp();
}

// value in decimal, at least width digits. 32 bits only: 64-bit division would import a helper
// from the compiler's runtime library.
std::size_t PutDigits(wchar_t* at, unsigned long value, int width) {
  wchar_t reversed[24];
  int count = 0;
  do {
    reversed[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  for (int i = 0; i < count; ++i) at[i] = reversed[count - 1 - i];
  return static_cast<std::size_t>(count);
}

}  // namespace

bool OpenRunLog(const wchar_t* path) {
  // Opened, not truncated, and not through a link: what the handle names is checked before a byte
  // changes, so nobody can swap a link in between.
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  // A second name of another file, or a link, would have the elevated installer overwrite
  // something the user who prepared it could not.
  if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(file)) {
    CloseHandle(file);
    return false;
  }
  g_log = file;
  const wchar_t byteOrderMark = 0xFEFF;
  WriteUnits(&byteOrderMark, 1);
  return RunLogOn();
}

bool RunLogOn() { return g_log != INVALID_HANDLE_VALUE; }

std::size_t AppendLogText(wchar_t* line, std::size_t used, std::size_t capacity, const wchar_t* text) {
  const std::size_t room = capacity - sizeof kEllipsis / sizeof kEllipsis[0];
  for (; *text != L'\0'; ++text) {
    const bool control = *text < 0x20 || *text == 0x7F;
    if (used + (control ? 4 : 1) > room) {
      for (const wchar_t* dot = kEllipsis; *dot != L'\0'; ++dot) line[used++] = *dot;
      break;
    }
    if (control) {
      const wchar_t* digits = L"0123456789ABCDEF";
      line[used++] = L'\\';
      line[used++] = L'x';
      line[used++] = digits[*text >> 4];
      line[used++] = digits[*text & 0xF];
    } else {
      line[used++] = *text;
    }
  }
  line[used] = L'\0';
  return used;
}

LogLine::LogLine() : used_(0) { text_[0] = L'\0'; }

LogLine::~LogLine() {
  if (!RunLogOn()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t line[kStampLength + kCapacity + 2];
  wchar_t* at = line;
  at += PutDigits(at, now.wYear, 4);
  *at++ = L'-';
  at += PutDigits(at, now.wMonth, 2);
  *at++ = L'-';
  at += PutDigits(at, now.wDay, 2);
  *at++ = L' ';
  at += PutDigits(at, now.wHour, 2);
  *at++ = L':';
  at += PutDigits(at, now.wMinute, 2);
  *at++ = L':';
  at += PutDigits(at, now.wSecond, 2);
  *at++ = L'.';
  at += PutDigits(at, now.wMilliseconds, 3);
  *at++ = L' ';
  for (std::size_t i = 0; i < used_; ++i) *at++ = text_[i];
  *at++ = L'\r';
  *at++ = L'\n';
  WriteUnits(line, static_cast<std::size_t>(at - line));
}

LogLine& LogLine::operator<<(const wchar_t* text) {
  if (RunLogOn() && text != nullptr) used_ = AppendLogText(text_, used_, kCapacity, text);
  return *this;
}

LogLine& LogLine::operator<<(const char* text) {
  if (!RunLogOn() || text == nullptr) return *this;
  wchar_t wide[MAX_PATH * 2];
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH * 2) == 0) wide[0] = L'\0';
  return *this << wide;
}

LogLine& LogLine::operator<<(Dec number) {
  if (!RunLogOn()) return *this;
  wchar_t digits[24];
  wchar_t* at = digits;
  unsigned long magnitude = static_cast<unsigned long>(number.value);
  if (number.value < 0) {
    *at++ = L'-';
    magnitude = 0 - magnitude;
  }
  at[PutDigits(at, magnitude, 1)] = L'\0';
  return *this << digits;
}

LogLine& LogLine::operator<<(Hex number) {
  if (!RunLogOn()) return *this;
  wchar_t digits[11] = L"0x";
  for (int i = 0; i < 8; ++i) digits[2 + i] = L"0123456789ABCDEF"[(number.value >> (28 - 4 * i)) & 0xF];
  digits[10] = L'\0';
  return *this << digits;
}

LogLine& LogLine::operator<<(Win32Error error) {
  if (!RunLogOn()) return *this;
  wchar_t text[256];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error.code, 0, text, 256, nullptr);
  // The system's texts end in a line break.
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
    --length;
  }
  text[length < 256 ? length : 255] = L'\0';
  return *this << L"error " << Dec{error.code} << L" (" << (length > 0 ? text : L"no text") << L")";
}
