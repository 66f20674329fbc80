// Ports that an installed USB device of the package gives to its QX printer and KD customer
// display functions, as its instances left them in their "Device Parameters" keys.
#pragma once
#include <cstdint>

#include "ports/registry_read.h"

constexpr std::uint32_t kPortRoleQX = 0;  // printer function
constexpr std::uint32_t kPortRoleKD = 1;  // customer display function

struct UsbPortAssignment {
  std::uint32_t portNumber;  // 1 to 40
  std::uint32_t portRole;    // kPortRoleQX or kPortRoleKD
  char instanceName[kRegistryTextBytes];  // the instance's sub-key name, as enumerated
};

// The values of one function of one instance, as read: a "...Read" flag false means the value
// was missing or unreadable.
struct UsbFunctionValues {
  bool portRead;
  std::uint32_t port;
  bool enabledRead;
  std::uint32_t enabled;
};

// Whether a function yields a record: a port of 1 to 40 that is not switched off. A missing
// enable value leaves the port enabled, as drivers that predate the switch never wrote one.
bool UsbFunctionYieldsPort(const UsbFunctionValues& values);

// Calls visit(record, context) for every qualifying port of every instance, in enumeration order,
// QX before KD within an instance; never when no device of the package was ever installed. The
// record lives only for the call.
using UsbPortVisit = void (*)(const UsbPortAssignment& record, void* context);
void ForEachUsbPortAssignment(UsbPortVisit visit, void* context);
