#include <cstdlib>
#include <string>

#include "run/command_line.h"

namespace {

constexpr std::size_t kPortSwitchLength = 7;  // "-QX:COM", "-QX:LPT", "-KD:COM", "-KD:LPT"
constexpr int kLastComPort = 32;
constexpr int kLastLptPort = 8;
constexpr int kLptCodeBase = 32;  // LPTn is coded 32 + n, after the COM codes

// The number behind the switch that starts at position at. Its text ends at the next blank, so a
// blank right after the switch leaves no digits (0) rather than reaching the next argument.
int NumberBehind(const std::wstring& line, std::size_t at) {
  const std::size_t start = at + kPortSwitchLength;
  const std::size_t blank = line.find(L' ', start);
  const std::wstring text =
      line.substr(start, blank == std::wstring::npos ? std::wstring::npos : blank - start);
  return _wtoi(text.c_str());
}

// One function's port code: the first COM switch, then the first LPT switch, which wins when its
// number is valid. An invalid LPT number leaves the COM code as it was.
int PortCode(const std::wstring& line, const wchar_t* comSwitch, const wchar_t* lptSwitch) {
  int code = 0;
  const std::size_t com = line.find(comSwitch);
  if (com != std::wstring::npos) {
    const int n = NumberBehind(line, com);
    if (n >= 1 && n <= kLastComPort) code = n;
  }
  const std::size_t lpt = line.find(lptSwitch);
  if (lpt != std::wstring::npos) {
    const int n = NumberBehind(line, lpt);
    if (n >= 1 && n <= kLastLptPort) code = kLptCodeBase + n;
  }
  return code;
}

}  // namespace

RequestedPorts ParsePortSwitches(const wchar_t* commandLine, RunMode runMode) {
  RequestedPorts ports;
  // Only a quiet install assigns ports; every other run leaves the line unread.
  if (runMode != SilentInstall || commandLine == nullptr) return ports;
  const std::wstring line(commandLine);
  ports.qxPort = PortCode(line, L"-QX:COM", L"-QX:LPT");
  ports.kdPort = PortCode(line, L"-KD:COM", L"-KD:LPT");
  return ports;
}
