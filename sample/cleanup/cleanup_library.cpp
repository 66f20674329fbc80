// The sample package's driver clean-up library. The installer's removal run loads it from its
// work folder and calls RCVCLN_UninstQXCOMUSB once before the emulator setup runs. The sample has
// no driver to clean up, so the call only records that it happened and who made it.
#include <windows.h>

#include <string>

#include "common/sample_log.h"

namespace {

const wchar_t kProgram[] = L"QXCOMUSBCLN.dll";

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH + 1);
  return n == 0 || n > MAX_PATH ? L"(unknown)" : path;
}

HMODULE ThisLibrary() {
  MEMORY_BASIC_INFORMATION info = {};
  VirtualQuery(reinterpret_cast<const void*>(&ThisLibrary), &info, sizeof info);
  return static_cast<HMODULE>(info.AllocationBase);
}

}  // namespace

// Exported undecorated through QXCOMUSBCLN.def; callers pass nothing and ignore the result.
extern "C" DWORD WINAPI RCVCLN_UninstQXCOMUSB() {
  SampleLog(kProgram, L"RCVCLN_UninstQXCOMUSB called by " + ModulePath(nullptr) + L"; library at " +
                          ModulePath(ThisLibrary()) +
                          L"; the sample has no driver to clean up, nothing changed");
  return ERROR_SUCCESS;
}
