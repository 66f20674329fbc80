#include "ports/ports_file.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "common/run_log.h"

namespace {

// The file carries every number as signed decimal, so a stored 4294967295 goes out as -1.
long AsSigned(std::uint32_t value) { return static_cast<std::int32_t>(value); }

// Text-mode output of our own: every "\n" reaches the disk as CR LF, which is what the setup
// expects, and the lines are gathered so that a few ports cost one write. whole turns false at the
// first line or byte that did not reach the file.
struct PortsFile {
  HANDLE handle;
  char pending[4096];
  std::size_t used;
  bool whole;
  long usbLines;
  long emulatorLines;
};

void Flush(PortsFile& file) {
  DWORD written = 0;
  if (file.used != 0) {
    const DWORD error = WriteFile(file.handle, file.pending, static_cast<DWORD>(file.used), &written, nullptr)
                            ? ERROR_HANDLE_DISK_FULL : GetLastError();
    if (written != file.used) {
      Log("PORTS.dat: %u of %u bytes written, %e", written, static_cast<DWORD>(file.used), error);
      file.whole = false;
    }
  }
  file.used = 0;
}

void Put(PortsFile& file, const char* text) {
  for (; *text != '\0'; ++text) {
    if (file.used + 2 > sizeof file.pending) Flush(file);
    if (*text == '\n') file.pending[file.used++] = '\r';
    file.pending[file.used++] = *text;
  }
}

// A record that cannot be written as one line spoils the file: the setup would miss its port.
void PutUsbLine(const UsbPortAssignment& record, void* context) {
  PortsFile& file = *static_cast<PortsFile*>(context);
  char line[kPortsLineCapacity];
  if (FormatUsbLine(record, line, kPortsLineCapacity)) {
    Put(file, line);
    ++file.usbLines;
  } else {
    Log("PORTS.dat: the port of USB instance %a cannot be written as one line", record.instanceName);
    file.whole = false;
  }
}

void PutEmulatorLine(const EmulatorPortRecord& record, void* context) {
  PortsFile& file = *static_cast<PortsFile*>(context);
  char line[kPortsLineCapacity];
  if (FormatEmulatorLine(record, line, kPortsLineCapacity)) {
    Put(file, line);
    ++file.emulatorLines;
  } else {
    Log("PORTS.dat: emulated port %a (instance %d, id %a) cannot be written as one line", record.portName,
        static_cast<int>(record.instanceNumber), record.portId);
    file.whole = false;
  }
}

// A line feed or another control byte inside a field would split its line, and a port name such as
// "COM5\n[PRTVO]" would forge a section header.
bool AppendField(char* line, std::size_t capacity, const char* text) {
  for (const char* at = text; *at != '\0'; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return BoundedAppend(line, capacity, text);
}

}  // namespace

bool FormatUsbLine(const UsbPortAssignment& record, char* line, std::size_t capacity) {
  return BoundedCopy(line, capacity, "") && AppendDecimal(line, capacity, AsSigned(record.portNumber), 0) &&
         BoundedAppend(line, capacity, record.portRole == kPortRoleKD ? "=1," : "=0,") &&
         AppendField(line, capacity, record.instanceName) && BoundedAppend(line, capacity, "\n");
}

bool FormatEmulatorLine(const EmulatorPortRecord& record, char* line, std::size_t capacity) {
  bool fits = BoundedCopy(line, capacity, "") && AppendField(line, capacity, record.portName) &&
              BoundedAppend(line, capacity, "=") &&
              AppendDecimal(line, capacity, record.instanceNumber, 4) &&
              BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, record.driverIndex, 4);
  for (std::uint32_t value : record.lineSettings) {
    fits = fits && BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, AsSigned(value), 0);
  }
  fits = fits && BoundedAppend(line, capacity, ",") && AppendField(line, capacity, record.portId);
  for (std::uint32_t value : record.timingSettings) {
    fits = fits && BoundedAppend(line, capacity, ",") && AppendDecimal(line, capacity, AsSigned(value), 0);
  }
  return fits && BoundedAppend(line, capacity, "\n");
}

bool WritePortsFile(const wchar_t* workFolder) {
  wchar_t path[MAX_PATH];
  if (!BoundedCopy(path, MAX_PATH, workFolder) || !BoundedAppend(path, MAX_PATH, L"PORTS.dat")) {
    Log("PORTS.dat: its path does not fit in 260 characters");
    return false;
  }
  PortsFile file;
  file.used = 0;
  file.whole = true;
  file.usbLines = 0;
  file.emulatorLines = 0;
  // Shared as the runtime's fopen shares it.
  file.handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.handle == INVALID_HANDLE_VALUE) {
    Log("PORTS.dat could not be created: %e", GetLastError());
    return false;
  }
  Put(file, "[PORTS]\n");
  ForEachUsbPortAssignment(PutUsbLine, &file);
  Put(file, "[PRTVO]\n");
  ForEachEmulatorPort(PutEmulatorLine, &file);
  Flush(file);
  // Some file systems report a failed write only as the handle closes.
  if (!CloseHandle(file.handle)) {
    Log("PORTS.dat could not be closed: %e", GetLastError());
    return false;
  }
  if (file.whole) {
    Log("PORTS.dat written: %d USB port lines, %d emulated port lines", file.usbLines, file.emulatorLines);
  }
  return file.whole;
}
