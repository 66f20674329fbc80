// Keeps DLLs planted beside a downloaded installer from being loaded.
#pragma once

// Restricts the DLL search to the system folder where the system can, else drops the current
// folder from it. Must run before anything loads a DLL by name.
void RestrictDllSearchPath();

// comctl32 is not a known DLL, so it is loaded from the system folder by full path.
void InitCommonControlsFromSystem();
