#include "payload/program_path.h"

#include "common/bounded_text.h"

bool BuildProgramPath(wchar_t (&path)[MAX_PATH], const wchar_t* workFolder, const wchar_t* fileName) {
  ZeroMemory(path, sizeof path);
  return BoundedCopy(path, MAX_PATH, workFolder) && BoundedAppend(path, MAX_PATH, fileName);
}

bool PathExists(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return path[0] != L'\0' && GetFileAttributesExW(path, GetFileExInfoStandard, &data) != FALSE;
}
