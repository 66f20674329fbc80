#include "ports/emulator_ports.h"

#include <windows.h>

#include <stdlib.h>

#include "common/bounded_text.h"

namespace {

const char kPortsKey[] = "SYSTEM\\CurrentControlSet\\Enum\\Root\\PORTS";
const char kEmulatorHardwareId[] = "umdf\\orvikportemulator";

const char* const kLineSettingNames[kLineSettingCount] = {"OrvDCD", "OrvDSR", "OrvCTS", "OrvRI",
                                                          "OrvQX",  "OrvKD",  "OrvPH",  "OrvAsync"};
const char* const kTimingSettingNames[kTimingSettingCount] = {"OrvReadIntervalTimeout",
                                                              "OrvReadTotalTimeoutMultiplier",
                                                              "OrvReadTotalTimeoutConstant",
                                                              "OrvWriteTotalTimeoutMultiplier",
                                                              "OrvWriteTotalTimeoutConstant",
                                                              "OrvQXSCMD_UnlockTimer",
                                                              "OrvQXSCMD_Mode",
                                                              "OrvQXSCMD_Option"};

// "PortName" lives in "Device Parameters" on current drivers and in the instance key on older
// ones. A port without "Device Parameters" is not one the emulator set up, so it is skipped.
bool ReadPortName(HKEY instance, const char* parametersPath, char (&portName)[kRegistryTextBytes]) {
  HKEY parameters = OpenMachineKeyForRead(parametersPath);
  if (parameters == nullptr) return false;
  bool found = ReadTextValue(parameters, "PortName", portName) ||
               ReadTextValue(instance, "PortName", portName);
  RegCloseKey(parameters);
  return found;
}

void ReadSettings(HKEY parameters, EmulatorPortRecord& record) {
  for (int i = 0; i < kLineSettingCount; ++i) {
    record.lineSettings[i] = 0;
    ReadNumberValue(parameters, kLineSettingNames[i], record.lineSettings[i]);
  }
  record.portId[0] = '\0';
  ReadTextValue(parameters, "OrvID", record.portId);
  for (int i = 0; i < kTimingSettingCount; ++i) {
    record.timingSettings[i] = 0;
    ReadNumberValue(parameters, kTimingSettingNames[i], record.timingSettings[i]);
  }
}

void VisitInstance(const char* instanceName, EmulatorPortVisit visit, void* context) {
  char instancePath[kRegistryPathBytes];
  char parametersPath[kRegistryPathBytes];
  // Both always fit: the name is one the enumeration returned within its 260 bytes.
  if (!JoinKeyPath(instancePath, kPortsKey, instanceName, "") ||
      !JoinKeyPath(parametersPath, kPortsKey, instanceName, "\\Device Parameters")) {
    return;
  }
  HKEY instance = OpenMachineKeyForRead(instancePath);
  if (instance == nullptr) return;
  EmulatorPortRecord record;
  char hardwareId[kRegistryTextBytes] = {};
  char driver[kRegistryTextBytes] = {};
  if (ReadPortName(instance, parametersPath, record.portName) &&
      ReadTextValue(instance, "HardwareID", hardwareId) && HardwareIdNamesEmulator(hardwareId)) {
    record.instanceNumber = atoi(instanceName);
    record.driverIndex = DriverIndexFromText(ReadTextValue(instance, "Driver", driver), driver);
    HKEY parameters = OpenMachineKeyForRead(parametersPath);
    if (parameters != nullptr) {
      ReadSettings(parameters, record);
      RegCloseKey(parameters);
      visit(record, context);
    }
  }
  RegCloseKey(instance);
}

}  // namespace

bool HardwareIdNamesEmulator(const char* firstHardwareId) {
  char lowered[kRegistryTextBytes];
  // A text longer than any value read cannot name the emulator the way the driver writes it.
  if (!BoundedCopy(lowered, kRegistryTextBytes, firstHardwareId)) return false;
  for (char* c = lowered; *c != '\0'; ++c) {
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  }
  for (const char* at = lowered; *at != '\0'; ++at) {
    std::size_t n = 0;
    while (kEmulatorHardwareId[n] != '\0' && at[n] == kEmulatorHardwareId[n]) ++n;
    if (kEmulatorHardwareId[n] == '\0') return true;
  }
  return false;
}

std::int32_t DriverIndexFromText(bool driverRead, const char* driver) {
  if (!driverRead) return kNoDriverIndex;
  const char* slash = driver;
  while (*slash != '\0' && *slash != '\\') ++slash;
  if (*slash == '\0') return kNoDriverIndex;
  return atoi(slash + 1);
}

void ForEachEmulatorPort(EmulatorPortVisit visit, void* context) {
  ForEachSubKey(kPortsKey, [visit, context](const char* instance) { VisitInstance(instance, visit, context); });
}
