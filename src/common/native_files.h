// The native file calls behind the work folder, the extraction folder and the run log, in one
// place: names in their "\??\" form, a folder made new with a descriptor and held, and a name
// opened inside a held folder without following a link. Windows 2000 has every call, though in
// ntdll, not in kernel32.
#pragma once
#include <cstddef>
#include <windows.h>

constexpr ULONG kFileOpen = 1;             // FILE_OPEN
constexpr ULONG kFileCreate = 2;           // FILE_CREATE: fail when the name exists
constexpr ULONG kFileOpenIf = 3;           // FILE_OPEN_IF
constexpr ULONG kDirectoryFile = 0x01;     // FILE_DIRECTORY_FILE
constexpr ULONG kNonDirectoryFile = 0x40;  // FILE_NON_DIRECTORY_FILE

constexpr LONG kStatusNameNotFound = static_cast<LONG>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr LONG kStatusNameCollision = static_cast<LONG>(0xC0000035);  // STATUS_OBJECT_NAME_COLLISION
constexpr LONG kStatusInvalidOwner = static_cast<LONG>(0xC000005A);   // STATUS_INVALID_OWNER
// What an open below reports for a link, or for an entry swapped between its open and its listing.
constexpr LONG kStatusStoppedOnLink = static_cast<LONG>(0x8000002D);  // STATUS_STOPPED_ON_SYMLINK

// "\??\" form of a full path, for a native call.
bool NativePathOf(const wchar_t* fullPath, wchar_t* nativePath, std::size_t capacity);

// The native name of the folder a full path starts from, "\??\C:\" or "\??\UNC\server\share\",
// into root, and in *rest what follows it. False (root emptied) for any other form or nothing after.
bool SplitAtRoot(const wchar_t* fullPath, wchar_t* root, std::size_t capacity, const wchar_t** rest);

// Makes the folder name (length units) inside folder, or at a full native name when folder is
// null, with security (null: what it inherits), and opens it without delete sharing, in one step:
// fails when anything, a link included, stands at the name. Returns the native status, 0 on success.
LONG CreateHeldFolder(HANDLE folder, const wchar_t* name, std::size_t length, SECURITY_DESCRIPTOR* security,
                      HANDLE* held);

// The same at a full path (no trailing separator).
LONG CreateGuardedFolder(const wchar_t* name, SECURITY_DESCRIPTOR* security, HANDLE* guard);

// Opens name (length units) inside folder, never a link's target where the system honours the
// flag, and keeps it only when it is neither a link nor reached through one. *status, when given,
// gets the native status, or kStatusStoppedOnLink for a link. INVALID_HANDLE_VALUE when refused.
HANDLE OpenPlainEntry(HANDLE folder, const wchar_t* name, std::size_t length, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, LONG* status = nullptr);

struct PathWalk {
  HANDLE folder;           // the folder that holds the last name, held; INVALID_HANDLE_VALUE if the walk stopped
  const wchar_t* last;     // the last name, inside the path
  const wchar_t* stopped;  // the end of the folder's name where the walk stopped; null: no drive or share
  LONG status;             // why it stopped
  const wchar_t* made;     // the end of the first folder's name that the walk made; null if none
};

// Opens the folder that holds a full path's last name, folder by folder from its drive's root or
// share, each inside the one held before it, and stops at a link at any level: no folder on the
// way can be swapped for a link while the path is walked. With makeMissing, a folder that does not
// exist is made, with the permissions it inherits. True when walk->folder is held.
bool WalkToLastName(const wchar_t* fullPath, bool makeMissing, PathWalk* walk);
