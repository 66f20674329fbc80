#include "child/registry_marks.h"

#include <stdlib.h>
#include <wchar.h>

#include "common/run_log.h"
#include "common/switches.h"

namespace {

const wchar_t kKernelModeServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
constexpr std::size_t kModeSwitchLength = 5;  // "-mode"
constexpr DWORD kKernelModeValue = 1;

// The key is opened for each value on its own. No service key means no kernel-mode driver to mark
// (an uninstall removed it, or the setup installed none); a key that is there but refuses a value
// leaves an installed driver that a later run would take for the other mode.
bool SetServiceDword(const wchar_t* name, DWORD value) {
  HKEY key;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKernelModeServiceKey, 0, KEY_ALL_ACCESS, &key);
  if (opened == ERROR_FILE_NOT_FOUND) {
    Log("kernel-mode mark %s not written: the driver's service key is absent", name);
    return true;
  }
  LONG status = opened;
  if (opened == ERROR_SUCCESS) {
    status = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  if (status == ERROR_SUCCESS) {
    Log("kernel-mode mark %s = %d stored", name, static_cast<int>(value));
  } else {
    Log("kernel-mode mark %s = %d refused: %e", name, static_cast<int>(value), static_cast<DWORD>(status));
  }
  return status == ERROR_SUCCESS;
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

bool WriteKernelModeMarks(const wchar_t* commandLine) {
  const KernelModeMarks marks = KernelModeMarksFor(commandLine);
  bool stored = true;
  if (marks.writeCustomerType) stored = SetServiceDword(L"CustomerType", marks.customerType);
  if (marks.writeKernelMode) stored = SetServiceDword(L"KM", kKernelModeValue) && stored;
  return stored;
}
