// What the sample setup makes of its command line and of the PORTS.dat it finds. Pure functions
// over plain text, so the demo's behaviour can be checked without starting a process.
#pragma once
#include <string>
#include <vector>

// The sample setup's command line, without the program's own name:
//   /clone_wait [/hide_progress -l0x0411] "/W32:<window>:<message> <installer's command line>"
struct SetupArgs {
  bool cloneWait = false;
  bool hideProgress = false;
  unsigned short languageId = 0;  // from "-l0x...."; 0 when none was given
  bool hasResultWindow = false;   // a well-formed "/W32:<window>:<message>" was found
  long long resultWindow = 0;     // the window handle as the installer wrote it, signed decimal
  unsigned long resultMessage = 0;
  std::wstring installerArgs;         // everything after "/W32:..:.. " up to the closing quote
  bool uninstall = false;             // "-u1" or "-U1" inside the quoted argument
  std::vector<std::wstring> unknown;  // switches before the quote that the sample does not know
};

SetupArgs ParseSetupArgs(const std::wstring& args);

// Where the read-me and manual for a language lie in the package's "manual" tree.
struct ManualChoice {
  const wchar_t* folder;  // "EN", "JA", "SC" or "TC"
  const wchar_t* readme;  // "ReadMeE.txt" or "ReadMeJ.txt"
};

// The language switch wins; without one the user's default language decides, with the same
// whole-id comparison the installer uses for its language switch.
ManualChoice ChooseManual(unsigned short switchLanguage, unsigned short userLanguage);

// A light reading of PORTS.dat, enough to tell in the log what the installer carried over.
struct PortsSummary {
  bool portsSection = false;     // "[PORTS]" line seen
  bool emulatorSection = false;  // "[PRTVO]" line seen
  int usbLines = 0;              // non-empty lines inside [PORTS]
  int emulatorLines = 0;         // non-empty lines inside [PRTVO]
};

PortsSummary SummarizePorts(const std::string& text);
