// The whole package written into a folder of the administrator's choosing, laid out as the build
// takes it: the install set at its paths, the removal set at the root.
#pragma once
#include "payload/work_folder.h"

// Checks both sets against their digests, makes folder anew (anything at its name, a link
// included, is refused and left as it was) and writes every file new. Whatever fails part-way,
// what was written is deleted again, without following a link.
UnpackResult WritePackageFolder(const wchar_t* folder);
