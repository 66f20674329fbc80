// Where a run unpacks its payload, and the unpacking itself.
#pragma once
#include <string>
#include <vector>

#include "payload/catalogue.h"

// The temporary folder, or empty when it is the Windows folder itself (never unpack there).
std::wstring TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath);
std::wstring GetTempBase();

// Temporary base + the fixed folder name + "\".
std::wstring WorkFolderPath();

// The paths of F1..F<count>: F1 is the WorkFolder (ending in "\"); deeper ones have no trailing
// separator.
std::vector<std::wstring> BuildFolderPaths(const std::wstring& workFolder, int count);

// Makes the set's folders and writes its rows in table order; returns the WorkFolder. Failed writes
// are not reported here: the existence test of the program to start is the one gate.
std::wstring DeployPayload(const PayloadSet& set);
