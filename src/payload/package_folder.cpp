#include "payload/package_folder.h"

#include "common/bounded_text.h"
#include "common/native_files.h"
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

// Says where the walk to the folder stopped, and why.
void LogBlockedWay(const wchar_t* name, const PathWalk& walk) {
  wchar_t way[MAX_PATH];
  if (walk.stopped == nullptr || !BoundedCopyPart(way, MAX_PATH, name, static_cast<std::size_t>(walk.stopped - name))) {
    Log("extraction folder %s: it names no folder below a drive or a share; nothing written", name);
  } else if (walk.status == kStatusStoppedOnLink) {
    Log("extraction folder %s: a link stands at %s on its way; refused, nothing written", name, way);
  } else {
    Log("extraction folder %s: the folder %s on its way could not be opened or made, status %x; nothing written",
        name, way, static_cast<DWORD>(walk.status));
  }
}

}  // namespace

CreateHeldFolderFunction g_createPackageFolder = CreateHeldFolder;

UnpackResult MakePackageFolder(const wchar_t* folder, wchar_t (&name)[MAX_PATH], WorkFolder& package) {
  package.guard = INVALID_HANDLE_VALUE;
  if (!PackagePaths(folder, name, package)) {
    Log("the folder %s cannot be made: its name is too long", folder);
    return kWorkFolderNotOurs;
  }
  FolderSecurity security;
  if (!BuildPackageFolderSecurity(security)) {
    Log("the folder %s cannot be made: its descriptor could not be built, %e", name, GetLastError());
    return kWorkFolderNotOurs;
  }
  // The administrator's path may lead through a folder a user controls: the folders on the way are
  // walked without following a link, and those that are missing are made inside the one before.
  PathWalk walk;
  if (!WalkToLastName(name, true, &walk)) {
    LogBlockedWay(name, walk);
    return kFolderWayBlocked;
  }
  // Made and held in one step, so nothing can be swapped in at its name while the files are written.
  const LONG status = g_createPackageFolder(walk.folder, walk.last, BoundedLength(walk.last, MAX_PATH),
                                            &security.descriptor, &package.guard);
  CloseHandle(walk.folder);
  if (status == kStatusInvalidOwner) {
    Log("extraction folder %s could not be made: a run that is not elevated may not make Administrators its "
        "owner, status %x; nothing written", name, static_cast<DWORD>(status));
    return kOwnerNotAllowed;
  }
  if (status != 0) {
    Log("extraction folder %s could not be made anew (at its name: %a), status %x; nothing written", name,
        WhatStandsAt(name), static_cast<DWORD>(status));
    return kWorkFolderNotOurs;
  }
  wchar_t made[MAX_PATH] = L"";
  if (walk.made != nullptr) BoundedCopyPart(made, MAX_PATH, name, static_cast<std::size_t>(walk.made - name));
  Log(walk.made != nullptr ? "extraction folder %s: made anew, and the missing folders on its way from %s"
                           : "extraction folder %s: made anew",
      name, made);
  return kUnpacked;
}

UnpackResult WritePackageFolder(const wchar_t* folder) {
  // Every file, both sets, is checked before anything is written.
  if (!VerifyPayload(kInstallPayload) || !VerifyPayload(kRemovalPayload)) return kPayloadDamaged;
  wchar_t name[MAX_PATH];
  WorkFolder package;
  const UnpackResult made = MakePackageFolder(folder, name, package);
  if (made != kUnpacked) return made;
  if (DeployPayload(kInstallPayload, package) && DeployPayload(kRemovalPayload, package)) {
    CloseHandle(package.guard);
    return kUnpacked;
  }
  // A package with a file missing or cut short must not be staged by mistake.
  Log(DeleteFolderTree(package.path, package.guard) ? "extraction folder deleted again"
                                                    : "extraction folder left behind, as far as it was not deleted");
  return kPayloadNotWritten;
}
