// Ports of the user-mode port emulator: root-enumerated port devices whose hardware id names the
// emulator, with the settings its driver stored for each.
#pragma once
#include <cstdint>

#include "ports/registry_read.h"

constexpr int kLineSettingCount = 8;
constexpr int kTimingSettingCount = 8;
constexpr std::int32_t kNoDriverIndex = 9999;

struct EmulatorPortRecord {
  char portName[kRegistryTextBytes];  // "PortName", e.g. COM5
  std::int32_t instanceNumber;  // the instance sub-key's name as a decimal number
  std::int32_t driverIndex;     // the number after the backslash of "Driver", else kNoDriverIndex
  // "OrvDCD", "OrvDSR", "OrvCTS", "OrvRI", "OrvQX", "OrvKD", "OrvPH", "OrvAsync"; 0 when missing.
  std::uint32_t lineSettings[kLineSettingCount];
  char portId[kRegistryTextBytes];  // "OrvID", empty when missing
  // "OrvReadIntervalTimeout", "OrvReadTotalTimeoutMultiplier", "OrvReadTotalTimeoutConstant",
  // "OrvWriteTotalTimeoutMultiplier", "OrvWriteTotalTimeoutConstant", "OrvQXSCMD_UnlockTimer",
  // "OrvQXSCMD_Mode", "OrvQXSCMD_Option"; 0 when missing.
  std::uint32_t timingSettings[kTimingSettingCount];
};

// Whether the first string of a "HardwareID" names the emulator, ignoring the case of ASCII
// letters only (other bytes of the ANSI code page are compared as they are).
bool HardwareIdNamesEmulator(const char* firstHardwareId);

// The driver index of a "Driver" value ("{class}\0002" gives 2); kNoDriverIndex when the value is
// missing or holds no backslash.
std::int32_t DriverIndexFromText(bool driverRead, const char* driver);

// Calls visit(record, context) for every emulator port in enumeration order; never when no root
// port device exists. The record lives only for the call.
using EmulatorPortVisit = void (*)(const EmulatorPortRecord& record, void* context);
void ForEachEmulatorPort(EmulatorPortVisit visit, void* context);
