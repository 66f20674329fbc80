#include "child/registry_marks.h"

#include <stdlib.h>
#include <wchar.h>

#include "common/switches.h"

namespace {

const wchar_t kKernelModeServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
constexpr std::size_t kModeSwitchLength = 5;  // "-mode"
constexpr DWORD kKernelModeValue = 1;

// The key is opened for each value on its own, so one failed open costs only that value.
void SetServiceDword(const wchar_t* name, DWORD value) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKernelModeServiceKey, 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

}  // namespace

KernelModeMarks KernelModeMarksFor(const wchar_t* commandLine) {
  KernelModeMarks marks;
  if (!HasSwitch(commandLine, L"-KM") && !HasSwitch(commandLine, L"-km")) return marks;
  const wchar_t* mode = wcsstr(commandLine, L"-mode");
  if (mode != nullptr) {
    // The rest of the line is read as _wtoi reads it: blanks before the number are skipped.
    marks.writeCustomerType = true;
    marks.customerType = static_cast<DWORD>(_wtoi(mode + kModeSwitchLength));
  }
  marks.writeKernelMode = true;
  return marks;
}

void WriteKernelModeMarks(const wchar_t* commandLine) {
  const KernelModeMarks marks = KernelModeMarksFor(commandLine);
  if (marks.writeCustomerType) SetServiceDword(L"CustomerType", marks.customerType);
  if (marks.writeKernelMode) SetServiceDword(L"KM", kKernelModeValue);
}
