#include "run/command_line.h"

#include "child/command_lines.h"
#include "common/bounded_text.h"
#include "common/switches.h"

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
