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

// The longest command line Windows passes, terminator included.
constexpr std::size_t kCommandLineCapacity = 32768;

// A switch that names a path, in its two spellings, such as "-log:" and "-LOG:".
struct PathSwitch {
  const wchar_t* lower;
  const wchar_t* upper;
};
constexpr PathSwitch kLogSwitch = {L"-log:", L"-LOG:"};
constexpr PathSwitch kExtractSwitch = {L"-extract:", L"-EXTRACT:"};

// Takes a path switch out of the command line: the switch and its path, which runs to the next
// blank or, when it starts with a double quote or the switch follows one, to the next quote; with
// it go the blanks after it, or, at the end of the line, those before it. rest gets the line
// without it, for every other switch and for the setup, so that a path such as C:\logs\x-s1.log
// switches nothing. path gets the path, empty without the switch or when it does not fit; found,
// when given, whether the switch stands on the line at all. False when rest does not fit.
bool SplitPathSwitch(const wchar_t* commandLine, const PathSwitch& name, wchar_t* rest, std::size_t restCapacity,
                     wchar_t* path, std::size_t pathCapacity, bool* found = nullptr);

// "interactive install", "quiet install", "quiet uninstall" or "removal", as the log and the event
// record name the mode.
const char* RunModeName(RunMode mode);

// languageId decides the quiet language switch; the run passes GetUserDefaultLangID().
RunSwitches ParseRunSwitches(const wchar_t* commandLine, LANGID languageId);

RequestedPorts ParsePortSwitches(const wchar_t* commandLine, RunMode runMode);
