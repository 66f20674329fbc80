#include "payload/removal_choice.h"

#include "payload/catalogue.h"

unsigned EmulatorSetupNameIdFor(bool functionFound, bool callSucceeded, BOOL wow64) {
  return functionFound && callSucceeded && wow64 ? kEmulatorSetup64NameId : kEmulatorSetup32NameId;
}

IsWow64ProcessFunction LookUpIsWow64Process() {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "IsWow64Process")));
}

unsigned ChooseEmulatorSetupNameId() {
#ifdef _WIN64
  // A 64-bit process runs on a 64-bit Windows only.
  return kEmulatorSetup64NameId;
#endif
  const IsWow64ProcessFunction isWow64Process = LookUpIsWow64Process();
  BOOL wow64 = FALSE;
  bool callSucceeded = false;
  if (isWow64Process != nullptr) callSucceeded = isWow64Process(GetCurrentProcess(), &wow64) != FALSE;
  return EmulatorSetupNameIdFor(isWow64Process != nullptr, callSucceeded, wow64);
}
