#include "payload/extract.h"

#include "common/bounded_text.h"

DWORD ExtractPayloadFile(WORD resourceId, const wchar_t* fileName, const wchar_t* folder) {
  wchar_t path[kJoinedPathCapacity] = {};
  // A path cut short would name some other file; refuse it instead.
  if (!BoundedCopy(path, kJoinedPathCapacity, folder) ||
      !BoundedAppend(path, kJoinedPathCapacity, L"\\") ||
      !BoundedAppend(path, kJoinedPathCapacity, fileName)) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
  if (found == nullptr) return GetLastError();
  DWORD size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return GetLastError();
  const void* data = LockResource(loaded);
  if (data == nullptr) return GetLastError();

  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, size, &written, nullptr);
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  return error;
}
