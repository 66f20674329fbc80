#include "common/native_files.h"

#include <winternl.h>

#include "common/bounded_text.h"

namespace {

constexpr ULONG kSynchronousIo = 0x20;         // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT
constexpr ULONG kCaseInsensitive = 0x40;       // OBJ_CASE_INSENSITIVE
constexpr ULONG kIdBothDirectoryInformation = 37;
constexpr LONG kInvalidInfoClass = static_cast<LONG>(0xC0000003);
constexpr LONG kNameInvalid = static_cast<LONG>(0xC0000033);  // STATUS_OBJECT_NAME_INVALID
constexpr ACCESS_MASK kWalkAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

// name inside folder, or a full native name without one.
LONG CreateEntry(HANDLE folder, const wchar_t* name, std::size_t length, SECURITY_DESCRIPTOR* security,
                 ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options, HANDLE* handle) {
  const auto create = reinterpret_cast<NtCreateFileFunction>(reinterpret_cast<void*>(NtFunction("NtCreateFile")));
  if (create == nullptr) return -1;
  UNICODE_STRING text = Counted(name, length);
  OBJECT_ATTRIBUTES object = {};
  object.Length = sizeof object;
  object.RootDirectory = folder;
  object.ObjectName = &text;
  object.Attributes = kCaseInsensitive;
  object.SecurityDescriptor = security;
  IO_STATUS_BLOCK io = {};
  return create(handle, access, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition, options, nullptr, 0);
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

}  // namespace

bool NativePathOf(const wchar_t* fullPath, wchar_t* nativePath, std::size_t capacity) {
  if (fullPath[0] == L'\\' && fullPath[1] == L'\\') {
    // "\\?\C:\..." names the same thing as "\??\C:\..."; "\\server\share" is "\??\UNC\server\share".
    const bool extended = fullPath[2] == L'?' && fullPath[3] == L'\\';
    return BoundedCopy(nativePath, capacity, extended ? L"\\??\\" : L"\\??\\UNC\\") &&
           BoundedAppend(nativePath, capacity, fullPath + (extended ? 4 : 2));
  }
  return BoundedCopy(nativePath, capacity, L"\\??\\") && BoundedAppend(nativePath, capacity, fullPath);
}

bool SplitAtRoot(const wchar_t* fullPath, wchar_t* root, std::size_t capacity, const wchar_t** rest) {
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

// The folder is made and opened in one step, so there is no moment at which somebody else's
// folder could be opened in its place.
LONG CreateHeldFolder(HANDLE folder, const wchar_t* name, std::size_t length, SECURITY_DESCRIPTOR* security,
                      HANDLE* held) {
  return CreateEntry(folder, name, length, security, FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, kFileCreate, kDirectoryFile | kSynchronousIo, held);
}

LONG CreateGuardedFolder(const wchar_t* name, SECURITY_DESCRIPTOR* security, HANDLE* guard) {
  wchar_t full[MAX_PATH];
  wchar_t native[MAX_PATH + 8];
  const DWORD length = GetFullPathNameW(name, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH || !NativePathOf(full, native, MAX_PATH + 8)) return -1;
  return CreateHeldFolder(nullptr, native, BoundedLength(native, MAX_PATH + 8), security, guard);
}

HANDLE OpenPlainEntry(HANDLE folder, const wchar_t* name, std::size_t length, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, LONG* status) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  LONG opened = CreateEntry(folder, name, length, nullptr, access, share, disposition,
                            options | kSynchronousIo | kOpenReparsePoint, &handle);
  if (opened != 0) {
    handle = INVALID_HANDLE_VALUE;
  } else if (!IsPlainEntry(folder, name, length, handle)) {
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    opened = kStatusStoppedOnLink;
  }
  if (status != nullptr) *status = opened;
  return handle;
}

bool WalkToLastName(const wchar_t* fullPath, bool makeMissing, PathWalk* walk) {
  walk->folder = INVALID_HANDLE_VALUE;
  walk->last = nullptr;
  walk->stopped = nullptr;
  walk->status = kNameInvalid;
  walk->made = nullptr;
  wchar_t root[MAX_PATH + 8];
  const wchar_t* rest = nullptr;
  if (!SplitAtRoot(fullPath, root, MAX_PATH + 8, &rest)) return false;
  walk->stopped = rest;
  HANDLE folder = INVALID_HANDLE_VALUE;
  walk->status = CreateEntry(nullptr, root, BoundedLength(root, MAX_PATH + 8), nullptr, kWalkAccess, kShareAll,
                             kFileOpen, kDirectoryFile | kSynchronousIo | kOpenReparsePoint, &folder);
  if (walk->status != 0) return false;
  for (;;) {
    const wchar_t* end = rest;
    while (*end != L'\0' && *end != L'\\') ++end;
    const std::size_t length = static_cast<std::size_t>(end - rest);
    if (length != 0 && *end == L'\0') {
      walk->folder = folder;
      walk->last = rest;
      return true;
    }
    HANDLE next = INVALID_HANDLE_VALUE;
    walk->stopped = end;
    walk->status = kNameInvalid;
    if (length != 0) {
      next = OpenPlainEntry(folder, rest, length, kWalkAccess, kShareAll, kFileOpen, kDirectoryFile, &walk->status);
    }
    // Only a name that is free is made; anything that stands there is opened and judged above.
    if (next == INVALID_HANDLE_VALUE && makeMissing && walk->status == kStatusNameNotFound) {
      next = OpenPlainEntry(folder, rest, length, kWalkAccess, kShareAll, kFileCreate, kDirectoryFile, &walk->status);
      if (next != INVALID_HANDLE_VALUE && walk->made == nullptr) walk->made = end;
    }
    CloseHandle(folder);
    if (next == INVALID_HANDLE_VALUE) return false;
    folder = next;
    rest = end + 1;
  }
}
