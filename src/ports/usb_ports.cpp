#include "ports/usb_ports.h"

#include <windows.h>

#include "common/bounded_text.h"

namespace {

const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_3c9e&Pid_0202";

UsbFunctionValues ReadFunction(HKEY parameters, const char* portName, const char* enabledName) {
  UsbFunctionValues values = {false, 0, false, 0};
  values.portRead = ReadNumberValue(parameters, portName, values.port);
  if (values.portRead)
    values.enabledRead = ReadNumberValue(parameters, enabledName, values.enabled);
  return values;
}

void Report(std::uint32_t port, std::uint32_t role, const char* instanceName, UsbPortVisit visit,
           void* context) {
  UsbPortAssignment record = {port, role, {}};
  BoundedCopy(record.instanceName, kRegistryTextBytes, instanceName);
  visit(record, context);
}

void VisitInstance(const char* instanceName, UsbPortVisit visit, void* context) {
  char path[kRegistryPathBytes];
  if (!JoinKeyPath(path, kUsbDeviceKey, instanceName, "\\Device Parameters")) return;
  HKEY parameters = OpenMachineKeyForRead(path);
  if (parameters == nullptr) return;
  // The driver writes "OrvCuIndex" once it has configured the instance; without it the port
  // values are leftovers and mean nothing.
  std::uint32_t cuIndex = 0;
  if (ReadNumberValue(parameters, "OrvCuIndex", cuIndex)) {
    UsbFunctionValues qx = ReadFunction(parameters, "OrvCOMPortForQX", "OrvEnabledPortQX");
    if (UsbFunctionYieldsPort(qx)) Report(qx.port, kPortRoleQX, instanceName, visit, context);
    UsbFunctionValues kd = ReadFunction(parameters, "OrvCOMPortForKD", "OrvEnabledPortKD");
    if (UsbFunctionYieldsPort(kd)) Report(kd.port, kPortRoleKD, instanceName, visit, context);
  }
  RegCloseKey(parameters);
}

}  // namespace

bool UsbFunctionYieldsPort(const UsbFunctionValues& values) {
  if (!values.portRead || values.port - 1u > 39u) return false;
  return !values.enabledRead || values.enabled == 1;
}

void ForEachUsbPortAssignment(UsbPortVisit visit, void* context) {
  ForEachSubKey(kUsbDeviceKey, [visit, context](const char* instance) { VisitInstance(instance, visit, context); });
}
