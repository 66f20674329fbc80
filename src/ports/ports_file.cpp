#include "ports/ports_file.h"

#include <windows.h>

#include "common/bounded_text.h"

namespace {

// The file carries every number as signed decimal, so a stored 4294967295 goes out as -1.
long AsSigned(std::uint32_t value) { return static_cast<std::int32_t>(value); }

// Text-mode output of our own: every "\n" reaches the disk as CR LF, which is what the setup
// expects, and the lines are gathered so that a few ports cost one write.
struct PortsFile {
  HANDLE handle;
  char pending[4096];
  std::size_t used;
};

void Flush(PortsFile& file) {
  DWORD written = 0;
  if (file.used != 0) WriteFile(file.handle, file.pending, static_cast<DWORD>(file.used), &written, nullptr);
  file.used = 0;
}

void Put(PortsFile& file, const char* text) {
  for (; *text != '\0'; ++text) {
    if (file.used + 2 > sizeof file.pending) Flush(file);
    if (*text == '\n') file.pending[file.used++] = '\r';
    file.pending[file.used++] = *text;
  }
}

void PutUsbLine(const UsbPortAssignment& record, void* context) {
  char line[kPortsLineCapacity];
  if (FormatUsbLine(record, line, kPortsLineCapacity)) Put(*static_cast<PortsFile*>(context), line);
}

void PutEmulatorLine(const EmulatorPortRecord& record, void* context) {
  char line[kPortsLineCapacity];
  if (FormatEmulatorLine(record, line, kPortsLineCapacity)) Put(*static_cast<PortsFile*>(context), line);
}

}  // namespace

bool FormatUsbLine(const UsbPortAssignment& record, char* line, std::size_t capacity) {
  return BoundedCopy(line, capacity, "") && AppendDecimal(line, capacity, AsSigned(record.portNumber), 0) &&
         BoundedAppend(line, capacity, record.portRole == kPortRoleKD ? "=1," : "=0,") &&
         BoundedAppend(line, capacity, record.instanceName) && BoundedAppend(line, capacity, "\n");
}

bool FormatEmulatorLine(const EmulatorPortRecord& record, char* line, std::size_t capacity) {
  bool fits = BoundedCopy(line, capacity, record.portName) && BoundedAppend(line, capacity, "=") &&
              AppendDecimal(line, capacity, record.instanceNumber, 4) &&
              BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, record.driverIndex, 4);
  for (std::uint32_t value : record.lineSettings) {
    fits = fits && BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, AsSigned(value), 0);
  }
  fits = fits && BoundedAppend(line, capacity, ",") && BoundedAppend(line, capacity, record.portId);
  for (std::uint32_t value : record.timingSettings) {
    fits = fits && BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, AsSigned(value), 0);
  }
  return fits && BoundedAppend(line, capacity, "\n");
}

void WritePortsFile(const wchar_t* workFolder) {
  wchar_t path[MAX_PATH];
  if (!BoundedCopy(path, MAX_PATH, workFolder) || !BoundedAppend(path, MAX_PATH, L"PORTS.dat")) return;
  PortsFile file;
  file.used = 0;
  // Shared as the runtime's fopen shares it.
  file.handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.handle == INVALID_HANDLE_VALUE) return;
  Put(file, "[PORTS]\n");
  ForEachUsbPortAssignment(PutUsbLine, &file);
  Put(file, "[PRTVO]\n");
  ForEachEmulatorPort(PutEmulatorLine, &file);
  Flush(file);
  CloseHandle(file.handle);
}
