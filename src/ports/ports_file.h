// PORTS.dat: the installed ports' settings, handed to the unpacked setup beside it. The setup
// reads it by its fixed name; nothing on its command line points to it.
#pragma once
#include <cstddef>

#include "ports/emulator_ports.h"
#include "ports/usb_ports.h"

// The longest line: two texts of 259 bytes, eighteen numbers of up to 11 characters, 19 commas,
// "=", "\n" and the terminator.
constexpr std::size_t kPortsLineCapacity = 1024;

// One line of the [PORTS] section, "\n" included: "3=0,A1B2C3D4\n". False when it does not fit or
// a text holds a control byte (the line would not stay one line).
bool FormatUsbLine(const UsbPortAssignment& record, char* line, std::size_t capacity);

// One line of the [PRTVO] section, "\n" included: the port name, "=", and nineteen
// comma-separated fields, numbers signed as the setup reads them. False as for a USB line.
bool FormatEmulatorLine(const EmulatorPortRecord& record, char* line, std::size_t capacity);

// Writes workFolder + "PORTS.dat" (workFolder ends with a backslash) from the registry, replacing
// any earlier file. True only when the file was created, every line formed, every byte written and
// the file closed: a setup that found less would install without the ports' settings.
bool WritePortsFile(const wchar_t* workFolder);
