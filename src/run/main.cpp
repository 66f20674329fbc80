#include <windows.h>

#include "run/dll_search.h"
#include "run/run_sequence.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  // Before anything can load a DLL by name: a planted one beside the installer must never be used.
  RestrictDllSearchPath();
  return RunInstaller(instance, commandLine);
}
