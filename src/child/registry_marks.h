// The marks a kernel-mode install leaves in the driver's service key, so that a later run can tell
// which operation mode is installed and the driver knows the customer type.
#pragma once
#include <windows.h>

struct KernelModeMarks {
  bool writeCustomerType = false;
  DWORD customerType = 0;  // the "-mode" number, a negative one in two's complement
  bool writeKernelMode = false;  // "KM" = 1
};

// Which values the command line asks for: nothing without "-KM" or "-km"; "CustomerType" only when
// "-mode" is given as well.
KernelModeMarks KernelModeMarksFor(const wchar_t* commandLine);

// Writes the marks into HKLM "SYSTEM\CurrentControlSet\Services\OrvCe". A missing key writes
// nothing and is no failure; false when the key is there but a mark could not be stored in it.
bool WriteKernelModeMarks(const wchar_t* commandLine);
