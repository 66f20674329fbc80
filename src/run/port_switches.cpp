#include <stdlib.h>
#include <wchar.h>

#include "common/bounded_text.h"
#include "run/command_line.h"

namespace {

constexpr std::size_t kPortSwitchLength = 7;  // "-QX:COM", "-QX:LPT", "-KD:COM", "-KD:LPT"
constexpr int kLastComPort = 32;
constexpr int kLastLptPort = 8;
constexpr int kLptCodeBase = 32;  // LPTn is coded 32 + n, after the COM codes
// No setup can be given a longer command line, so no longer number text can matter.
constexpr std::size_t kNumberTextCapacity = 1024;

// The number behind the switch that starts at at. Its text ends at the next blank, so a blank
// right after the switch leaves no digits (0) rather than reaching the next argument. A text too
// long to hold names no port.
int NumberBehind(const wchar_t* at) {
  const wchar_t* start = at + kPortSwitchLength;
  std::size_t length = 0;
  while (length < kNumberTextCapacity && start[length] != L'\0' && start[length] != L' ') ++length;
  wchar_t text[kNumberTextCapacity];
  if (!BoundedCopyPart(text, kNumberTextCapacity, start, length)) return 0;
  return _wtoi(text);
}

// One function's port code: the first COM switch, then the first LPT switch, which wins when its
// number is valid. An invalid LPT number leaves the COM code as it was.
int PortCode(const wchar_t* line, const wchar_t* comSwitch, const wchar_t* lptSwitch) {
  int code = 0;
  const wchar_t* com = wcsstr(line, comSwitch);
  if (com != nullptr) {
    const int n = NumberBehind(com);
    if (n >= 1 && n <= kLastComPort) code = n;
  }
  const wchar_t* lpt = wcsstr(line, lptSwitch);
  if (lpt != nullptr) {
    const int n = NumberBehind(lpt);
    if (n >= 1 && n <= kLastLptPort) code = kLptCodeBase + n;
  }
  return code;
}

}  // namespace

RequestedPorts ParsePortSwitches(const wchar_t* commandLine, RunMode runMode) {
  RequestedPorts ports;
  // Only a quiet install assigns ports; every other run leaves the line unread.
  if (runMode != SilentInstall || commandLine == nullptr) return ports;
  ports.qxPort = PortCode(commandLine, L"-QX:COM", L"-QX:LPT");
  ports.kdPort = PortCode(commandLine, L"-KD:COM", L"-KD:LPT");
  return ports;
}
