// The whole package written into a folder of the administrator's choosing, laid out as the build
// takes it: the install set at its paths, the removal set at the root.
#pragma once
#include <cstddef>

#include "payload/work_folder.h"

// Checks both sets against their digests, makes the folder (MakePackageFolder) and writes every
// file new. Whatever fails part-way, what was written into the folder is deleted again, without
// following a link; the folders made on its way stay.
UnpackResult WritePackageFolder(const wchar_t* folder);

// Makes the folders on the way to folder that are missing, never through a link, and folder itself
// anew with the package's descriptor (anything at its name, a link included, is refused and left as
// it was), held in package.guard; name gets its full name.
UnpackResult MakePackageFolder(const wchar_t* folder, wchar_t (&name)[MAX_PATH], WorkFolder& package);

// The creation of the folder itself, replaced only by tests: Wine keeps a descriptor only as Unix
// permissions, in which the package's and the work folder's look alike, and lets anybody set any
// owner.
using CreateHeldFolderFunction = LONG (*)(HANDLE, const wchar_t*, std::size_t, SECURITY_DESCRIPTOR*, HANDLE*);
extern CreateHeldFolderFunction g_createPackageFolder;
