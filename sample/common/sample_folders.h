// Where the sample package puts things: the same registry values the installer reads when it tidies
// up after a removal, so that what the samples leave behind is exactly what it looks at.
#pragma once
#include <string>

struct BaseFolder {
  std::wstring path;    // expanded, without a trailing separator; empty when nothing was found
  std::wstring source;  // how it was found, for the log
};

// HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesPath", expanded as a 32-bit
// program sees it; else %ProgramFiles%; else "Program Files" on the Windows drive.
BaseFolder ProgramFilesBase();

// HKLM "...\Explorer\User Shell Folders" "Common Programs", expanded; else the Windows 2000
// layout below %ALLUSERSPROFILE%.
BaseFolder CommonProgramsBase();

// The folder that holds the running program, without a trailing separator.
std::wstring OwnFolder();
std::wstring OwnPath();
std::wstring CurrentFolder();

// Company and product folders below the two bases.
extern const wchar_t kCompanyFolder[];    // "ORVIK" below Program Files
extern const wchar_t kProductFolder[];    // "Portivo" below the company folder
extern const wchar_t kStartMenuFolder[];  // "ORVIK Portivo" below the common programs folder
