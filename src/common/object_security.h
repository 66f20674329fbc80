// The security descriptors the installer makes its objects with: the WorkFolder, an extracted
// package folder and the single-instance locks.
#pragma once
#include <windows.h>

// Everything the descriptor points into, so that it needs no allocation.
struct ObjectSecurity {
  SECURITY_DESCRIPTOR descriptor;
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  BYTE users[SECURITY_MAX_SID_SIZE];
  BYTE acl[128];
};
using FolderSecurity = ObjectSecurity;

// Owner Administrators; access for SYSTEM and Administrators, with the entries' inherit flags;
// nothing inherited from above and nothing for anybody else. A process that is not elevated cannot
// make Administrators an owner, so such an object cannot have been made by one.
bool BuildAdministratorsOnlySecurity(ObjectSecurity& security, ACCESS_MASK access, DWORD inherit);

// Full control for SYSTEM and Administrators, inherited by every folder and file below, so a
// process of the same user that is not elevated can neither write nor change permissions there.
bool BuildWorkFolderSecurity(FolderSecurity& security);

// The same, and reading and running for the Users group, inherited too: for a package folder that
// administrators use elevated and anybody may look into, but only administrators may change.
bool BuildPackageFolderSecurity(FolderSecurity& security);

// Whether sid is SYSTEM's or the Administrators group's.
bool IsAdministrationSid(PSID sid);
