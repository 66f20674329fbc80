#include "ports/ports_file.h"

#include <cstdio>

namespace {

void AppendNumber(std::string& line, const char* format, std::int32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, format, static_cast<int>(value));
  line += digits;
}

// The file carries every number as signed decimal, so a stored 4294967295 goes out as -1.
std::int32_t AsSigned(std::uint32_t value) { return static_cast<std::int32_t>(value); }

}  // namespace

std::string FormatUsbLine(const UsbPortAssignment& record) {
  std::string line;
  AppendNumber(line, "%d", AsSigned(record.portNumber));
  line += record.portRole == kPortRoleKD ? "=1," : "=0,";
  line += record.instanceName;
  line += '\n';
  return line;
}

std::string FormatEmulatorLine(const EmulatorPortRecord& record) {
  std::string line = record.portName;
  line += '=';
  AppendNumber(line, "%04d", record.instanceNumber);
  AppendNumber(line, ",%04d", record.driverIndex);
  for (std::uint32_t value : record.lineSettings) AppendNumber(line, ",%d", AsSigned(value));
  line += ',';
  line += record.portId;
  for (std::uint32_t value : record.timingSettings) AppendNumber(line, ",%d", AsSigned(value));
  line += '\n';
  return line;
}

void WritePortsFile(const std::wstring& workFolder) {
  const std::wstring path = workFolder + L"PORTS.dat";
  // Text mode: every "\n" reaches the disk as CR LF, which is what the setup expects.
  FILE* file = _wfopen(path.c_str(), L"wt");
  if (file == nullptr) return;
  std::fputs("[PORTS]\n", file);
  for (const UsbPortAssignment& record : CollectUsbPortAssignments()) {
    std::fputs(FormatUsbLine(record).c_str(), file);
  }
  std::fputs("[PRTVO]\n", file);
  for (const EmulatorPortRecord& record : CollectEmulatorPorts()) {
    std::fputs(FormatEmulatorLine(record).c_str(), file);
  }
  std::fclose(file);
}
