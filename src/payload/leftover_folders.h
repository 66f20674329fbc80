// A removal run's tidying: the product's program and start-menu folders go when nothing is left in
// them.
#pragma once
#include <string>

// Removes folder when it holds no entry apart from names beginning with "." (those are not
// counted, so a folder holding only such names is tried and then fails to go). A folder that cannot
// be searched is tried too. True when the folder was removed.
bool RemoveFolderIfEmpty(const std::wstring& folder);

// HKLM "...\Explorer\User Shell Folders" "Common Programs" (the all-users start-menu programs)
// and "...\CurrentVersion" "ProgramFilesPath", environment references expanded; empty when the
// value cannot be read or does not fit in 260 characters.
std::wstring GetCommonProgramsFolder();
std::wstring GetProgramFilesFolder();

// base + suffix; empty when the base is empty, so that an unreadable registry value never turns
// into a folder at the root of the current drive.
std::wstring LeftoverFolderPath(const std::wstring& base, const wchar_t* suffix);

// "ORVIK" under Program Files, then "ORVIK" and "ORVIK Portivo" in the start-menu programs, each
// only if empty. Nothing is reported.
void RemoveLeftoverFolders();
