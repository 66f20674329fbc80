#include "payload/extract.h"

#include "common/bounded_text.h"

WriteFileFunction g_payloadWriteFile = WriteFile;

DWORD LockPayloadResource(WORD resourceId, const unsigned char** data, DWORD* size) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
  if (found == nullptr) return GetLastError();
  *size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return GetLastError();
  *data = static_cast<const unsigned char*>(LockResource(loaded));
  return *data == nullptr ? GetLastError() : 0;
}

DWORD ExtractPayloadFile(WORD resourceId, const wchar_t* fileName, const wchar_t* folder, DWORD* resourceSize) {
  wchar_t path[kJoinedPathCapacity] = {};
  // A path cut short would name some other file; refuse it instead.
  if (!BoundedCopy(path, kJoinedPathCapacity, folder) ||
      !BoundedAppend(path, kJoinedPathCapacity, L"\\") ||
      !BoundedAppend(path, kJoinedPathCapacity, fileName)) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  const unsigned char* data = nullptr;
  DWORD size = 0;
  const DWORD locked = LockPayloadResource(resourceId, &data, &size);
  if (locked != 0) return locked;
  if (resourceSize != nullptr) *resourceSize = size;

  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  DWORD error = g_payloadWriteFile(file, data, size, &written, nullptr) ? 0 : GetLastError();
  // A write that reports success but falls short has still left a file that is not whole.
  if (error == 0 && written != size) error = ERROR_HANDLE_DISK_FULL;
  // On a network share a delayed write can still fail as the handle closes.
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  return error;
}
