// Keeps DLLs planted beside a downloaded installer from being loaded.
#pragma once

// Restricts the DLL search to the system folder where the system can. Elsewhere it drops the
// current folder from the search and loads, by full path, the libraries that system code would
// otherwise look for beside the installer. Must run before anything loads a DLL by name.
void RestrictDllSearchPath();

// comctl32 is not a known DLL, so it is loaded from the system folder by full path.
void InitCommonControlsFromSystem();
