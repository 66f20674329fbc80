// A removal run's tidying: the product's program and start-menu folders go when nothing is left in
// them.
#pragma once
#include <windows.h>

// Removes folder when it holds no entry apart from names beginning with "." (those are not
// counted, so a folder holding only such names is tried and then fails to go). A folder that cannot
// be searched is tried too. True when the folder was removed.
bool RemoveFolderIfEmpty(const wchar_t* folder);

// HKLM "...\Explorer\User Shell Folders" "Common Programs" (the all-users start-menu programs)
// and "...\CurrentVersion" "ProgramFilesPath", environment references expanded. False and empty
// when the value cannot be read or does not fit in 260 characters.
bool GetCommonProgramsFolder(wchar_t (&folder)[MAX_PATH]);
bool GetProgramFilesFolder(wchar_t (&folder)[MAX_PATH]);

// base + suffix. False and empty when the base is empty, so that an unreadable registry value
// never turns into a folder at the root of the current drive, and when the path does not fit.
bool LeftoverFolderPath(const wchar_t* base, const wchar_t* suffix, wchar_t (&path)[MAX_PATH]);

// "ORVIK" under Program Files, then "ORVIK" and "ORVIK Portivo" in the start-menu programs, each
// only if empty. Nothing is reported.
void RemoveLeftoverFolders();
