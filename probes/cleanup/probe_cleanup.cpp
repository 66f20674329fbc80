// Test probe that stands in for the clean-up library "QXCOMUSBCLN.dll". Every event goes as one
// line into the removal log that the emulator setup probe writes to as well, so that a test reads
// the order (library loaded, uninstall called, emulator setup run, library unloaded) and counts
// the calls:
//
//   PROBE_REMOVAL_RECORD=<file>  the log; lines
//     kind=cleanup-load|seq=<n>|pid=<id>|module=<path>
//     kind=cleanup-call|seq=<n>|pid=<id>|calls=<calls so far in this process>
//     kind=cleanup-unload|seq=<n>|pid=<id>|by=<FreeLibrary|process-exit>
//
//   PROBE_CLEANUP_LOAD=fail      refuse to load (DllMain returns FALSE), as a library whose own
//                                start fails does
//
// Built twice: QXCOMUSBCLN.dll exports "RCVCLN_UninstQXCOMUSB" undecorated (through the .def
// file); QXCOMUSBCLN-noexport.dll is the same library without that export.
#include <windows.h>

#include <string>

#include "common/probe_support.h"

namespace {

#ifndef PROBE_CLEANUP_WITHOUT_EXPORT
unsigned long g_calls = 0;
#endif

void Log(const char* kind, const std::string& fields) {
  bool present = false;
  std::wstring path = probe::ReadEnv(L"PROBE_REMOVAL_RECORD", &present);
  if (present) {
    probe::AppendLogLine(path, kind,
                         "pid=" + probe::Decimal(GetCurrentProcessId()) + "|" + fields);
  }
}

}  // namespace

#ifndef PROBE_CLEANUP_WITHOUT_EXPORT
// No parameters and nothing the caller relies on in the return value, so the calling convention
// cannot unbalance the caller's stack.
extern "C" int RCVCLN_UninstQXCOMUSB() {
  ++g_calls;
  Log("cleanup-call", "calls=" + probe::Decimal(g_calls));
  return 0;
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    Log("cleanup-load", "module=" + probe::Utf8(probe::ModulePath(instance)));
    if (probe::ReadEnv(L"PROBE_CLEANUP_LOAD") == L"fail") return FALSE;
  } else if (reason == DLL_PROCESS_DETACH) {
    // A null reserved pointer means FreeLibrary; otherwise the process is ending.
    Log("cleanup-unload", reserved == nullptr ? "by=FreeLibrary" : "by=process-exit");
  }
  return TRUE;
}
