#include "ports/ports_file.h"

#include <cstdio>

namespace {

// printf's "%d" and "%0<width>d" (zeros between the sign and the digits). Written out because the
// runtime's printf family would add its own 18 KB formatter to the installer.
void AppendNumber(std::string& line, std::int32_t value, std::size_t width = 0) {
  // The magnitude as unsigned, so that the most negative value does not overflow.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t length = count + (value < 0 ? 1 : 0);
  if (value < 0) line += '-';
  if (width > length) line.append(width - length, '0');
  while (count != 0) line += digits[--count];
}

// The file carries every number as signed decimal, so a stored 4294967295 goes out as -1.
std::int32_t AsSigned(std::uint32_t value) { return static_cast<std::int32_t>(value); }

}  // namespace

std::string FormatUsbLine(const UsbPortAssignment& record) {
  std::string line;
  AppendNumber(line, AsSigned(record.portNumber));
  line += record.portRole == kPortRoleKD ? "=1," : "=0,";
  line += record.instanceName;
  line += '\n';
  return line;
}

std::string FormatEmulatorLine(const EmulatorPortRecord& record) {
  std::string line = record.portName;
  line += '=';
  AppendNumber(line, record.instanceNumber, 4);
  line += ',';
  AppendNumber(line, record.driverIndex, 4);
  for (std::uint32_t value : record.lineSettings) {
    line += ',';
    AppendNumber(line, AsSigned(value));
  }
  line += ',';
  line += record.portId;
  for (std::uint32_t value : record.timingSettings) {
    line += ',';
    AppendNumber(line, AsSigned(value));
  }
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
