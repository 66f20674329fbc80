// The security descriptor the WorkFolder is made with.
#pragma once
#include <windows.h>

// Everything the descriptor points into, so that it needs no allocation.
struct FolderSecurity {
  SECURITY_DESCRIPTOR descriptor;
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  BYTE users[SECURITY_MAX_SID_SIZE];
  BYTE acl[128];
};

// Owner Administrators; full control for SYSTEM and Administrators, inherited by every folder and
// file below; nothing inherited from the temporary folder and nothing for anybody else, so a
// process of the same user that is not elevated can neither write nor change permissions there.
bool BuildWorkFolderSecurity(FolderSecurity& security);

// The same, and reading and running for the Users group, inherited too: for a package folder that
// administrators use elevated and anybody may look into, but only administrators may change.
bool BuildPackageFolderSecurity(FolderSecurity& security);
