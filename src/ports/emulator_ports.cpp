#include "ports/emulator_ports.h"

#include <windows.h>

#include <cstdlib>

#include "ports/registry_read.h"

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
bool ReadPortName(HKEY instance, const std::string& instancePath, std::string& portName) {
  HKEY parameters = OpenMachineKeyForRead(instancePath + "\\Device Parameters");
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
  record.portId.clear();
  ReadTextValue(parameters, "OrvID", record.portId);
  for (int i = 0; i < kTimingSettingCount; ++i) {
    record.timingSettings[i] = 0;
    ReadNumberValue(parameters, kTimingSettingNames[i], record.timingSettings[i]);
  }
}

void CollectInstance(const std::string& instanceName, std::vector<EmulatorPortRecord>& records) {
  const std::string instancePath = std::string(kPortsKey) + "\\" + instanceName;
  HKEY instance = OpenMachineKeyForRead(instancePath);
  if (instance == nullptr) return;
  EmulatorPortRecord record;
  std::string hardwareId;
  std::string driver;
  if (ReadPortName(instance, instancePath, record.portName) &&
      ReadTextValue(instance, "HardwareID", hardwareId) && HardwareIdNamesEmulator(hardwareId)) {
    record.instanceNumber = std::atoi(instanceName.c_str());
    record.driverIndex = DriverIndexFromText(ReadTextValue(instance, "Driver", driver), driver);
    HKEY parameters = OpenMachineKeyForRead(instancePath + "\\Device Parameters");
    if (parameters != nullptr) {
      ReadSettings(parameters, record);
      RegCloseKey(parameters);
      records.push_back(record);
    }
  }
  RegCloseKey(instance);
}

}  // namespace

bool HardwareIdNamesEmulator(const std::string& firstHardwareId) {
  std::string lowered = firstHardwareId;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered.find(kEmulatorHardwareId) != std::string::npos;
}

std::int32_t DriverIndexFromText(bool driverRead, const std::string& driver) {
  if (!driverRead) return kNoDriverIndex;
  std::string::size_type slash = driver.find('\\');
  if (slash == std::string::npos) return kNoDriverIndex;
  return std::atoi(driver.c_str() + slash + 1);
}

std::vector<EmulatorPortRecord> CollectEmulatorPorts() {
  std::vector<EmulatorPortRecord> records;
  ForEachSubKey(kPortsKey, [&records](const std::string& instance) { CollectInstance(instance, records); });
  return records;
}
