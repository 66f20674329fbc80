// Where a run unpacks its payload, and the unpacking itself.
#pragma once
#include <cstddef>
#include <windows.h>

#include "payload/catalogue.h"

// The temporary folder, or empty when it is the Windows folder itself (never unpack there).
const wchar_t* TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath);

// GetTempPath2W's shape; GetTempPathW has the same.
using TempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

// The WorkFolder's base: what tempPath2 gives where Windows has it (null where it does not), else
// GetTempPathW's, by the rule of TempBaseFrom.
void TempBase(TempPathFunction tempPath2, wchar_t (&base)[MAX_PATH]);

// Temporary base + the fixed folder name + "\". False (path emptied) when it does not fit.
bool WorkFolderPath(wchar_t (&path)[MAX_PATH]);

// F<index> of the catalogue below workFolder: F1 is the WorkFolder itself (ending in "\"); deeper
// ones have no trailing separator. False (path emptied) when it does not fit.
bool BuildFolderPath(const wchar_t* workFolder, int index, wchar_t* path, std::size_t capacity);

struct WorkFolder {
  wchar_t path[MAX_PATH];  // ends in "\"
  // Held without delete sharing from creation until the folder is empty again, so that nobody can
  // rename it away and put a folder of their own under its name between unpacking and start.
  HANDLE guard;
};

// Moves aside (or takes apart) whatever stands at the WorkFolder's name, never following a link,
// then creates the folder anew with the descriptor of BuildWorkFolderSecurity and opens the guard.
// A link at the name is refused: no earlier run leaves one, and Wine would act on its target.
// False when the folder could not be made ours; then nothing was written.
bool CreateWorkFolder(WorkFolder& folder);

// Makes the set's sub-folders and writes its rows into a folder CreateWorkFolder made. False at the
// first folder or file that could not be made whole.
bool DeployPayload(const PayloadSet& set, const WorkFolder& folder);

enum UnpackResult {
  kUnpacked = 0,
  kPayloadDamaged = 1,     // a resource is missing or does not match its digest; nothing written
  kWorkFolderNotOurs = 2,  // a link at the name, or the folder could not be made anew
  kPayloadNotWritten = 3,  // a folder or file could not be written whole; what was written is gone
  kFolderWayBlocked = 4,   // extraction: a folder on the way is a link, or could not be opened or made
  kOwnerNotAllowed = 5,    // extraction: a run that is not elevated may not make Administrators the owner
};

// Checks the set against its digests, makes the WorkFolder anew and writes the set into it. No
// WorkFolder is left unless the set was unpacked.
UnpackResult UnpackPayload(const PayloadSet& set, WorkFolder& folder);

// Deletes the WorkFolder and everything in it, closing the guard only once it is empty.
bool DeleteWorkFolder(WorkFolder& folder);
