// Test probe for the runner itself: shows message boxes the way the installer does and exits with
// a chosen code, so that the runner's box capture and exit-code reading can be checked against
// known boxes.
//
//   PROBE_BOX_STYLE=<n>     MessageBoxW style (decimal or 0x-hex; default 0x10, MB_OK | MB_ICONERROR)
//   PROBE_BOX_CAPTION=<t>   caption (default "Probe caption")
//   PROBE_BOX_TEXT=<t>      text (default "Probe text"); the box number is appended from the second on
//   PROBE_BOX_COUNT=<n>     boxes shown one after the other (default 1)
//   PROBE_LOAD_LIBRARY=<name>[,<name>]  libraries loaded by name first (the planted probes' check)
//   PROBE_RECORD=<file>     loaded=<name>|<0|1> per library, answer=<button id> per box, complete=1
//   PROBE_EXIT=<code>       exit code (decimal, negative decimal or 0x-hex; default 0)
#include <windows.h>

#include <string>

#include "common/probe_support.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  unsigned long style = MB_OK | MB_ICONERROR;
  probe::ParseNumber(probe::ReadEnv(L"PROBE_BOX_STYLE"), &style);
  bool present = false;
  std::wstring caption = probe::ReadEnv(L"PROBE_BOX_CAPTION", &present);
  if (!present) caption = L"Probe caption";
  std::wstring text = probe::ReadEnv(L"PROBE_BOX_TEXT", &present);
  if (!present) text = L"Probe text";
  unsigned long count = 1;
  probe::ParseNumber(probe::ReadEnv(L"PROBE_BOX_COUNT"), &count);

  std::string record;
  const std::wstring libraries = probe::ReadEnv(L"PROBE_LOAD_LIBRARY") + L",";
  for (std::size_t start = 0, comma; (comma = libraries.find(L',', start)) != std::wstring::npos;
       start = comma + 1) {
    std::wstring name = libraries.substr(start, comma - start);
    if (name.empty()) continue;
    // Kept loaded: the marker is written on attach, and the process ends soon anyway.
    HMODULE module = LoadLibraryW(name.c_str());
    record += "loaded=" + probe::Utf8(name) + (module != nullptr ? "|1\n" : "|0\n");
  }
  for (unsigned long i = 1; i <= count; ++i) {
    std::wstring shown = text;
    if (i > 1) shown += L" " + std::wstring(1, static_cast<wchar_t>(L'0' + i % 10));
    int answer = MessageBoxW(nullptr, shown.c_str(), caption.c_str(), style);
    record += "answer=" + probe::Decimal(static_cast<unsigned long>(answer)) + "\n";
  }
  record += "complete=1\n";
  std::wstring record_path = probe::ReadEnv(L"PROBE_RECORD", &present);
  if (present) probe::WriteWholeFile(record_path, record);

  unsigned long exit_code = 0;
  probe::ParseNumber(probe::ReadEnv(L"PROBE_EXIT"), &exit_code);
  return static_cast<int>(exit_code);
}
