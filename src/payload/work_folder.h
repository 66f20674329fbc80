// Where a run unpacks its payload, and the unpacking itself.
#pragma once
#include <windows.h>

#include "payload/catalogue.h"

// The temporary folder, or empty when it is the Windows folder itself (never unpack there).
const wchar_t* TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath);

// Temporary base + the fixed folder name + "\". False (path emptied) when it does not fit.
bool WorkFolderPath(wchar_t (&workFolder)[MAX_PATH]);

// The paths of F1..F<count>: F1 is the WorkFolder (ending in "\"); deeper ones have no trailing
// separator. A path that does not fit stays empty, and so do the ones below it; false then.
bool BuildFolderPaths(const wchar_t* workFolder, int count, wchar_t (*paths)[MAX_PATH]);

// Makes the set's folders and writes its rows in table order into workFolder. Failed writes are
// not reported here: the existence test of the program to start is the one gate. False, with
// nothing written, when the WorkFolder's path does not fit.
bool DeployPayload(const PayloadSet& set, wchar_t (&workFolder)[MAX_PATH]);
