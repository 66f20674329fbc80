// The installer's switches. Every test is a case-sensitive substring test of the whole command
// line (HasSwitch); deployment scripts rely on exactly that, including its looseness.
#pragma once
#include <cstddef>
#include <windows.h>

enum RunMode { Interactive = 0, SilentInstall = 1, SilentUninstall = 2, Removal = 3 };
enum DriverMode { UserMode = 0, KernelMode = 1 };

// "/clone_wait /hide_progress -l0x0411" is the longest head there is.
constexpr std::size_t kSetupSwitchesCapacity = 64;

struct RunSwitches {
  RunMode runMode = Interactive;
  DriverMode driverMode = UserMode;
  wchar_t setupSwitches[kSetupSwitchesCapacity] = {};  // head of the setup's arguments; empty in Removal
};

struct RequestedPorts {
  int qxPort = 0;  // 0 none, 1-32 COM1-COM32, 33-40 LPT1-LPT8
  int kdPort = 0;
};

// languageId decides the quiet language switch; the run passes GetUserDefaultLangID().
RunSwitches ParseRunSwitches(const wchar_t* commandLine, LANGID languageId);

RequestedPorts ParsePortSwitches(const wchar_t* commandLine, RunMode runMode);
