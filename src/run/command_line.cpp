#include "run/command_line.h"

#include "child/command_lines.h"
#include "common/bounded_text.h"
#include "common/switches.h"

#include <wchar.h>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

bool SplitPathSwitch(const wchar_t* commandLine, const PathSwitch& name, wchar_t* rest, std::size_t restCapacity,
                     wchar_t* path, std::size_t pathCapacity, bool* found) {
  path[0] = L'\0';
  if (commandLine == nullptr) commandLine = L"";
  const wchar_t* start = wcsstr(commandLine, name.lower);
  if (start == nullptr) start = wcsstr(commandLine, name.upper);
  if (found != nullptr) *found = start != nullptr;
  if (start == nullptr) return BoundedCopy(rest, restCapacity, commandLine);
  const wchar_t* from = start + BoundedLength(name.lower, 16);
  const wchar_t* to = from;
  const wchar_t* end;
  // The path is quoted after the colon, or the whole switch is, as the command prompt quotes an
  // argument with blanks.
  const bool wholeQuoted = start > commandLine && start[-1] == L'"';
  if (wholeQuoted) --start;
  if (*from == L'"' || wholeQuoted) {
    if (!wholeQuoted) ++from;
    for (to = from; *to != L'\0' && *to != L'"'; ++to) {
    }
    end = *to == L'"' ? to + 1 : to;
  } else {
    for (; *to != L'\0' && !IsBlank(*to); ++to) {
    }
    end = to;
  }
  // A path that does not fit is given as none; it is still taken out of the line.
  if (!BoundedCopyPart(path, pathCapacity, from, static_cast<std::size_t>(to - from))) path[0] = L'\0';
  while (IsBlank(*end)) ++end;
  if (*end == L'\0') {
    while (start > commandLine && IsBlank(start[-1])) --start;
  }
  return BoundedCopyPart(rest, restCapacity, commandLine, static_cast<std::size_t>(start - commandLine)) &&
         BoundedAppend(rest, restCapacity, end);
}

RunSwitches ParseRunSwitches(const wchar_t* commandLine, LANGID languageId) {
  RunSwitches result;
  if (HasSwitch(commandLine, L"-u3") || HasSwitch(commandLine, L"-U3")) {
    result.runMode = Removal;
  } else {
    BoundedCopy(result.setupSwitches, kSetupSwitchesCapacity, L"/clone_wait");
    // The quiet install is tested before the quiet uninstall, wherever they stand on the line.
    if (HasSwitch(commandLine, L"-s1") || HasSwitch(commandLine, L"-S1")) {
      AppendSilentSwitches(result.setupSwitches, kSetupSwitchesCapacity, languageId);
      result.runMode = SilentInstall;
    } else if (HasSwitch(commandLine, L"-u1") || HasSwitch(commandLine, L"-U1")) {
      AppendSilentSwitches(result.setupSwitches, kSetupSwitchesCapacity, languageId);
      result.runMode = SilentUninstall;
    }
  }
  if (HasSwitch(commandLine, L"-KM") || HasSwitch(commandLine, L"-km")) result.driverMode = KernelMode;
  return result;
}

const char* RunModeName(RunMode mode) {
  static const char* const kModes[] = {"interactive install", "quiet install", "quiet uninstall", "removal"};
  return kModes[mode];
}
