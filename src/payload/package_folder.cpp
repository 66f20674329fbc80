#include "payload/package_folder.h"

#include "common/bounded_text.h"
#include "common/run_log.h"
#include "payload/delete_tree.h"
#include "payload/digest.h"
#include "common/object_security.h"

namespace {

const char* WhatStandsAt(const wchar_t* name) {
  const DWORD attributes = GetFileAttributesW(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return "nothing";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "a link";
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "a folder" : "a file";
}

// The folder's full name without a trailing separator, and package.path with one.
bool PackagePaths(const wchar_t* folder, wchar_t (&name)[MAX_PATH], WorkFolder& package) {
  const DWORD length = GetFullPathNameW(folder, MAX_PATH, name, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  // Wine reports a link's target for a name that ends in a separator.
  if (length > 3 && name[length - 1] == L'\\') name[length - 1] = L'\0';
  return BoundedCopy(package.path, MAX_PATH, name) && BoundedAppend(package.path, MAX_PATH, L"\\");
}

}  // namespace

UnpackResult WritePackageFolder(const wchar_t* folder) {
  // Every file, both sets, is checked before anything is written.
  if (!VerifyPayload(kInstallPayload) || !VerifyPayload(kRemovalPayload)) return kPayloadDamaged;
  wchar_t name[MAX_PATH];
  WorkFolder package;
  package.guard = INVALID_HANDLE_VALUE;
  FolderSecurity security;
  if (!PackagePaths(folder, name, package) || !BuildPackageFolderSecurity(security)) {
    Log("the folder %s cannot be made: its name is too long", folder);
    return kWorkFolderNotOurs;
  }
  // Made and held in one step, so nothing can be swapped in at its name while the files are written.
  const LONG status = CreateGuardedFolder(name, &security.descriptor, &package.guard);
  if (status != 0) {
    Log("extraction folder %s could not be made anew (at its name: %a), status %x; nothing written", name,
        WhatStandsAt(name), static_cast<DWORD>(status));
    return kWorkFolderNotOurs;
  }
  Log("extraction folder %s: made anew", name);
  if (DeployPayload(kInstallPayload, package) && DeployPayload(kRemovalPayload, package)) {
    CloseHandle(package.guard);
    return kUnpacked;
  }
  // A package with a file missing or cut short must not be staged by mistake.
  Log(DeleteFolderTree(package.path, package.guard) ? "extraction folder deleted again"
                                                    : "extraction folder left behind, as far as it was not deleted");
  return kPayloadNotWritten;
}
