// Where a test program finds the files it uses: each at the same place below the folder above the
// program's own as in the build folder (tests\e2e_tests.exe beside probes\, probe\, ...). A copy of
// that tree, the Windows test kit, therefore runs wherever it is unpacked, and no program holds a
// path of the machine that built it.
#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace testfiles {

// The full path of relative, kept for the life of the process so that callers may hold the pointer.
inline const wchar_t* Path(const wchar_t* relative) {
  static std::map<std::wstring, std::wstring> paths;
  std::wstring& path = paths[relative];
  if (path.empty()) {
    wchar_t program[MAX_PATH] = {};
    path.assign(program, GetModuleFileNameW(nullptr, program, MAX_PATH));
    path.erase(path.find_last_of(L'\\', path.find_last_of(L'\\') - 1) + 1);
    path += relative;
  }
  return path.c_str();
}

}  // namespace testfiles
