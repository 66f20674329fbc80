#include "ports/usb_ports.h"

#include <windows.h>

#include "ports/registry_read.h"

namespace {

const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_3c9e&Pid_0202";

UsbFunctionValues ReadFunction(HKEY parameters, const char* portName, const char* enabledName) {
  UsbFunctionValues values = {false, 0, false, 0};
  values.portRead = ReadNumberValue(parameters, portName, values.port);
  if (values.portRead)
    values.enabledRead = ReadNumberValue(parameters, enabledName, values.enabled);
  return values;
}

void CollectInstance(const std::string& instanceName, std::vector<UsbPortAssignment>& records) {
  HKEY parameters = OpenMachineKeyForRead(std::string(kUsbDeviceKey) + "\\" + instanceName +
                                          "\\Device Parameters");
  if (parameters == nullptr) return;
  // The driver writes "OrvCuIndex" once it has configured the instance; without it the port
  // values are leftovers and mean nothing.
  std::uint32_t cuIndex = 0;
  if (ReadNumberValue(parameters, "OrvCuIndex", cuIndex)) {
    UsbFunctionValues qx = ReadFunction(parameters, "OrvCOMPortForQX", "OrvEnabledPortQX");
    if (UsbFunctionYieldsPort(qx)) records.push_back({qx.port, kPortRoleQX, instanceName});
    UsbFunctionValues kd = ReadFunction(parameters, "OrvCOMPortForKD", "OrvEnabledPortKD");
    if (UsbFunctionYieldsPort(kd)) records.push_back({kd.port, kPortRoleKD, instanceName});
  }
  RegCloseKey(parameters);
}

}  // namespace

bool UsbFunctionYieldsPort(const UsbFunctionValues& values) {
  if (!values.portRead || values.port - 1u > 39u) return false;
  return !values.enabledRead || values.enabled == 1;
}

std::vector<UsbPortAssignment> CollectUsbPortAssignments() {
  std::vector<UsbPortAssignment> records;
  ForEachSubKey(kUsbDeviceKey, [&records](const std::string& instance) { CollectInstance(instance, records); });
  return records;
}
