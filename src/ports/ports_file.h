// PORTS.dat: the installed ports' settings, handed to the unpacked setup beside it. The setup
// reads it by its fixed name; nothing on its command line points to it.
#pragma once
#include <string>

#include "ports/emulator_ports.h"
#include "ports/usb_ports.h"

// One line of the [PORTS] section, "\n" included: "3=0,A1B2C3D4\n".
std::string FormatUsbLine(const UsbPortAssignment& record);

// One line of the [PRTVO] section, "\n" included: the port name, "=", and nineteen
// comma-separated fields, numbers signed as the setup reads them.
std::string FormatEmulatorLine(const EmulatorPortRecord& record);

// Writes workFolder + "PORTS.dat" (workFolder ends with a backslash) from the registry, replacing
// any earlier file. When the file cannot be created the registry is not read and nothing is
// written: the setup then runs without the file, as it does on a machine with no ports.
void WritePortsFile(const std::wstring& workFolder);
