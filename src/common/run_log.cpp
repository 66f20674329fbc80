#include "common/run_log.h"

#include <stdarg.h>
#include <winternl.h>

#include "common/bounded_text.h"

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;

constexpr std::size_t kLineCapacity = 2048;
const wchar_t kEllipsis[] = L"...";
const wchar_t kHexDigits[] = L"0123456789ABCDEF";

constexpr ULONG kFileOpen = 1;                 // FILE_OPEN
constexpr ULONG kFileOpenIf = 3;               // FILE_OPEN_IF
constexpr ULONG kDirectoryFile = 0x01;         // FILE_DIRECTORY_FILE
constexpr ULONG kSynchronousIo = 0x20;         // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kNonDirectoryFile = 0x40;      // FILE_NON_DIRECTORY_FILE
constexpr ULONG kOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT
constexpr ULONG kCaseInsensitive = 0x40;       // OBJ_CASE_INSENSITIVE
constexpr ULONG kIdBothDirectoryInformation = 37;
constexpr LONG kInvalidInfoClass = static_cast<LONG>(0xC0000003);

using NtCreateFileFunction = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                          PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtQueryDirectoryFileFunction = LONG(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                  ULONG, BOOLEAN, PUNICODE_STRING, BOOLEAN);

// FILE_ID_BOTH_DIR_INFORMATION up to the id.
struct DirectoryEntry {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER times[4];
  LARGE_INTEGER endOfFile;
  LARGE_INTEGER allocationSize;
  ULONG fileAttributes;
  ULONG fileNameLength;
  ULONG eaSize;
  CCHAR shortNameLength;
  WCHAR shortName[12];
  LARGE_INTEGER fileId;
};

FARPROC NtFunction(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll");
  return ntdll != nullptr ? GetProcAddress(ntdll, name) : nullptr;
}

UNICODE_STRING Counted(const wchar_t* text, std::size_t length) {
  UNICODE_STRING counted;
  counted.Buffer = const_cast<wchar_t*>(text);
  counted.Length = static_cast<USHORT>(length * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  return counted;
}

// One name inside folder (or a full native name without one): a folder to walk on, or the log
// file, made if missing. Never a link's target where the system honours the flag.
HANDLE OpenEntry(HANDLE folder, const wchar_t* name, std::size_t length, bool file) {
  const auto create = reinterpret_cast<NtCreateFileFunction>(reinterpret_cast<void*>(NtFunction("NtCreateFile")));
  if (create == nullptr) return INVALID_HANDLE_VALUE;
  UNICODE_STRING text = Counted(name, length);
  OBJECT_ATTRIBUTES object = {};
  object.Length = sizeof object;
  object.RootDirectory = folder;
  object.ObjectName = &text;
  object.Attributes = kCaseInsensitive;
  IO_STATUS_BLOCK io = {};
  HANDLE handle = INVALID_HANDLE_VALUE;
  const LONG status =
      file ? create(&handle, GENERIC_WRITE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &object, &io, nullptr,
                    FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, kFileOpenIf,
                    kNonDirectoryFile | kSynchronousIo | kOpenReparsePoint, nullptr, 0)
           : create(&handle, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &object, &io,
                    nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen,
                    kDirectoryFile | kSynchronousIo | kOpenReparsePoint, nullptr, 0);
  return status == 0 ? handle : INVALID_HANDLE_VALUE;
}

// Whether what opened, the entry name in folder, is neither a link nor reached through one.
// Windows opens a link itself under the flag, so its handle says so. Wine follows a link to a
// folder despite the flag, so the entry is read in the held folder as well, after the open: it
// must be no link and the very thing the handle holds, else it was swapped in between.
bool IsPlainEntry(HANDLE folder, const wchar_t* name, std::size_t length, HANDLE opened) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(opened, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  const auto query = reinterpret_cast<NtQueryDirectoryFileFunction>(
      reinterpret_cast<void*>(NtFunction("NtQueryDirectoryFile")));
  LONGLONG buffer[(sizeof(DirectoryEntry) + MAX_PATH * sizeof(wchar_t)) / sizeof(LONGLONG) + 1];
  const DirectoryEntry& entry = *reinterpret_cast<const DirectoryEntry*>(buffer);
  UNICODE_STRING mask = Counted(name, length);
  IO_STATUS_BLOCK io = {};
  // Each folder handle is asked once: a later mask on the same handle would be ignored.
  const LONG status = query == nullptr ? kInvalidInfoClass
                                       : query(folder, nullptr, nullptr, nullptr, &io, buffer, sizeof buffer,
                                               kIdBothDirectoryInformation, TRUE, &mask, TRUE);
  // Windows 2000 lists no ids; there the handle's attributes, which it reports truthfully, decide.
  if (status == kInvalidInfoClass) return true;
  const ULONGLONG id = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  // A file system that lists no ids (0) is judged by the attributes alone.
  return status == 0 && (entry.fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
         (entry.fileId.QuadPart == 0 || static_cast<ULONGLONG>(entry.fileId.QuadPart) == id);
}

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

bool SplitLogPath(const wchar_t* fullPath, wchar_t* root, std::size_t capacity, const wchar_t** rest) {
  const wchar_t* at = fullPath;
  bool share = false;
  if (at[0] == L'\\' && at[1] == L'\\') {
    const bool extended = at[2] == L'?' && at[3] == L'\\';
    at += extended ? 4 : 2;
    const bool unc = (at[0] | 0x20) == L'u' && (at[1] | 0x20) == L'n' && (at[2] | 0x20) == L'c' && at[3] == L'\\';
    share = !extended || unc;
    if (extended && unc) at += 4;
  }
  // "C:\" or "server\share\": the folder that no link can stand in for.
  const wchar_t* end = at;
  if (share) {
    for (int separators = 0; *end != L'\0' && separators < 2; ++end) {
      if (*end == L'\\') ++separators;
    }
    if (end[-1] != L'\\' || end - at < 4) end = at;
  } else if (at[0] != L'\0' && at[1] == L':' && at[2] == L'\\') {
    end = at + 3;
  }
  *rest = end;
  wchar_t name[MAX_PATH];
  if (end == at || *end == L'\0' || !BoundedCopyPart(name, MAX_PATH, at, static_cast<std::size_t>(end - at)) ||
      !BoundedCopy(root, capacity, share ? L"\\??\\UNC\\" : L"\\??\\") || !BoundedAppend(root, capacity, name)) {
    if (capacity > 0) root[0] = L'\0';
    return false;
  }
  return true;
}

bool OpenRunLog(const wchar_t* path) {
  wchar_t full[MAX_PATH];
  wchar_t root[MAX_PATH + 8];
  const wchar_t* rest = nullptr;
  const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH || !SplitLogPath(full, root, MAX_PATH + 8, &rest)) return false;
  HANDLE folder = OpenEntry(nullptr, root, BoundedLength(root, MAX_PATH + 8), false);
  // Each folder is opened inside the one held before it and refused if it is a link, so that no
  // folder on the way can be swapped for a link while the path is walked, and the file is made in
  // the folder that was checked.
  HANDLE file = INVALID_HANDLE_VALUE;
  while (folder != INVALID_HANDLE_VALUE) {
    const wchar_t* end = rest;
    while (*end != L'\0' && *end != L'\\') ++end;
    const bool last = *end == L'\0';
    const std::size_t nameLength = static_cast<std::size_t>(end - rest);
    HANDLE next = nameLength == 0 ? INVALID_HANDLE_VALUE : OpenEntry(folder, rest, nameLength, last);
    if (next != INVALID_HANDLE_VALUE && !IsPlainEntry(folder, rest, nameLength, next)) {
      CloseHandle(next);
      next = INVALID_HANDLE_VALUE;
    }
    CloseHandle(folder);
    folder = last ? INVALID_HANDLE_VALUE : next;
    if (last) file = next;
    rest = end + 1;
  }
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
