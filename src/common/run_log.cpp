#include "common/run_log.h"

#include <stdarg.h>

#include "common/bounded_text.h"
#include "common/native_files.h"

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;

constexpr std::size_t kLineCapacity = 2048;
const wchar_t kEllipsis[] = L"...";
const wchar_t kHexDigits[] = L"0123456789ABCDEF";

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

// value in decimal, unsigned and at least width digits, into at (room for 11). 32 bits only: 64-bit
// division would import a helper from the compiler's runtime library.
wchar_t* PutDigits(wchar_t* at, unsigned long value, int width) {
  wchar_t reversed[12];
  int count = 0;
  do {
    reversed[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  while (count > 0) *at++ = reversed[--count];
  *at = L'\0';
  return at;
}

// One conversion of Log's format into text (room for 320 units).
void Convert(char conversion, va_list& arguments, wchar_t* text, const wchar_t** result) {
  *result = text;
  switch (conversion) {
    case 's':
      *result = va_arg(arguments, const wchar_t*);
      break;
    case 'a':
      if (MultiByteToWideChar(CP_ACP, 0, va_arg(arguments, const char*), -1, text, 320) == 0) text[0] = L'\0';
      break;
    case 'd':
      FormatDecimal(va_arg(arguments, int), text, 320);
      break;
    case 'u':
      PutDigits(text, va_arg(arguments, unsigned long), 1);
      break;
    case 'x': {
      const unsigned long value = va_arg(arguments, unsigned long);
      text[0] = L'0';
      text[1] = L'x';
      for (int i = 0; i < 8; ++i) text[2 + i] = kHexDigits[(value >> (28 - 4 * i)) & 0xF];
      text[10] = L'\0';
      break;
    }
    case 'e': {
      const unsigned long code = va_arg(arguments, unsigned long);
      wchar_t* at = PutDigits(text, code, 1);
      *at++ = L' ';
      *at++ = L'(';
      DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                    at, 300, nullptr);
      // The system's texts end in a line break.
      while (length > 0 && at[length - 1] <= L' ') --length;
      at[length] = L')';
      at[length + 1] = L'\0';
      break;
    }
    default:
      text[0] = static_cast<wchar_t>(conversion);
      text[1] = L'\0';
  }
}

}  // namespace

bool OpenRunLog(const wchar_t* path) {
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  PathWalk walk;
  if (length == 0 || length >= MAX_PATH || !WalkToLastName(full, false, &walk)) return false;
  // Made in the folder that was checked. Shared for reading, so that an administrator can follow
  // a long run as it goes.
  const HANDLE file = OpenPlainEntry(walk.folder, walk.last, BoundedLength(walk.last, MAX_PATH),
                                     GENERIC_WRITE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ, kFileOpenIf,
                                     kNonDirectoryFile);
  CloseHandle(walk.folder);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  // A second name of another file would have the elevated installer overwrite something the user
  // who prepared it could not. What the handle names is checked before a byte changes.
  if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
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
      line[used++] = L'\\';
      line[used++] = L'x';
      line[used++] = kHexDigits[*text >> 4];
      line[used++] = kHexDigits[*text & 0xF];
    } else {
      line[used++] = *text;
    }
  }
  line[used] = L'\0';
  return used;
}

namespace {

// The text a line carries after its time stamp, appended at used.
std::size_t FormatText(wchar_t* line, std::size_t used, std::size_t capacity, const char* format, va_list arguments) {
  for (const char* f = format; *f != '\0'; ++f) {
    wchar_t text[320];
    const wchar_t* piece = text;
    if (*f == '%' && f[1] != '\0') {
      Convert(*++f, arguments, text, &piece);
    } else {
      text[0] = static_cast<unsigned char>(*f);
      text[1] = L'\0';
    }
    used = AppendLogText(line, used, capacity, piece != nullptr ? piece : L"");
    // Only a line that was cut comes this close to the end.
    if (used > capacity - 4) break;
  }
  return used;
}

}  // namespace

std::size_t FormatLogText(wchar_t* text, std::size_t capacity, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::size_t used = FormatText(text, 0, capacity, format, arguments);
  va_end(arguments);
  return used;
}

void Log(const char* format, ...) {
  if (!RunLogOn()) return;
  wchar_t line[kLineCapacity + 2];
  SYSTEMTIME now;
  GetLocalTime(&now);
  // "2026-12-07 18:02:09.123 "
  const WORD parts[] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  const wchar_t after[] = L"-- ::. ";
  wchar_t* at = line;
  for (int i = 0; i < 7; ++i) {
    at = PutDigits(at, parts[i], i == 0 ? 4 : i == 6 ? 3 : 2);
    *at++ = after[i];
  }
  va_list arguments;
  va_start(arguments, format);
  std::size_t used = FormatText(line, static_cast<std::size_t>(at - line), kLineCapacity, format, arguments);
  va_end(arguments);
  line[used++] = L'\r';
  line[used++] = L'\n';
  WriteUnits(line, used);
}
