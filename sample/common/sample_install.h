// Installing and removing the sample package's files: the read-me, the manual and the carried-over
// PORTS.dat under Program Files\ORVIK\Portivo, and a copy of the read-me in the Start-menu folder
// "ORVIK Portivo". Every step is logged under the calling program's name.
#pragma once
#include <windows.h>

#include <string>

#include "setup_args.h"

struct InstallTargets {
  std::wstring company;    // <Program Files>\ORVIK
  std::wstring product;    // <Program Files>\ORVIK\Portivo
  std::wstring startMenu;  // <Common Programs>\ORVIK Portivo
};

// Looks the two bases up (and logs where they came from); an empty member means no base was found.
InstallTargets FindInstallTargets(const wchar_t* program);

// Copies the language's read-me and manual from <packageFolder>\manual\<language>, and PORTS.dat
// from the package root when it is there. Returns 0 or the first Win32 error that stopped it.
DWORD InstallSampleFiles(const wchar_t* program, const InstallTargets& targets,
                         const std::wstring& packageFolder, const ManualChoice& manual);

// Removes the product folder with everything in it and every entry inside the Start-menu folder.
// The company and Start-menu folders themselves go only when removeEmptyFolders is set (a full
// uninstall); the removal run of the installer leaves them to its own tidying. Returns 0 or the
// first Win32 error; what is not there counts as removed.
DWORD RemoveSampleFiles(const wchar_t* program, const InstallTargets& targets,
                        bool removeEmptyFolders);
