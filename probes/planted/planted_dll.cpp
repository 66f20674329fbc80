// Test probe planted beside the installer under the name of a system library ("comctl32.dll",
// "uxtheme.dll", ..., one build each). If any process loads it, DllMain leaves a marker:
//
//   PROBE_PLANTED_RECORD=<file>  append kind=planted|seq=<n>|dll=<name>|pid=<id>|process=<exe>|module=<dll>
//   otherwise                    write "<dll path>.loaded" beside the library, holding that line
//
// A test plants them, runs the installer and expects no marker. The library exports stand-ins for
// the functions a program would import from the real one, so that a program that does load it
// still starts and the marker, not a loader error, tells what happened. (uxtheme and msimg32, which
// only system code loads, export nothing.)
#include <windows.h>

#include <string>

#include "common/probe_support.h"

#ifndef PLANTED_NAME
#error PLANTED_NAME must name the library this build stands in for
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  DisableThreadLibraryCalls(instance);
  const std::wstring module = probe::ModulePath(instance);
  const std::string fields = "dll=" + probe::Utf8(PLANTED_NAME) +
                             "|pid=" + probe::Decimal(GetCurrentProcessId()) +
                             "|process=" + probe::Utf8(probe::ModulePath(nullptr)) +
                             "|module=" + probe::Utf8(module);
  bool present = false;
  std::wstring record = probe::ReadEnv(L"PROBE_PLANTED_RECORD", &present);
  if (present) {
    probe::AppendLogLine(record, "planted", fields);
  } else {
    probe::WriteWholeFile(module + L".loaded", "kind=planted|" + fields + "\n");
  }
  return TRUE;
}

// Stand-ins, exported under the real names by the .def files. They fail politely.
extern "C" {

BOOL WINAPI PlantedInitCommonControlsEx(const void*) { return TRUE; }
void WINAPI PlantedInitCommonControls() {}

DWORD WINAPI PlantedGetFileVersionInfoSize(const void*, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return 0;
}
DWORD WINAPI PlantedGetFileVersionInfoSizeEx(DWORD, const void*, DWORD* handle) {
  return PlantedGetFileVersionInfoSize(nullptr, handle);
}
BOOL WINAPI PlantedGetFileVersionInfo(const void*, DWORD, DWORD, void*) {
  SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return FALSE;
}
BOOL WINAPI PlantedGetFileVersionInfoEx(DWORD, const void*, DWORD, DWORD, void*) {
  return PlantedGetFileVersionInfo(nullptr, 0, 0, nullptr);
}
BOOL WINAPI PlantedVerQueryValue(const void*, const void*, void** buffer, UINT* length) {
  if (buffer != nullptr) *buffer = nullptr;
  if (length != nullptr) *length = 0;
  return FALSE;
}

}  // extern "C"
