// Removing the WorkFolder again.
#pragma once
#include <cstddef>
#include <windows.h>

// folder, a separator unless it already ends in one, and "*.*". False (pattern emptied) when it
// does not fit.
bool SearchPattern(const wchar_t* folder, wchar_t* pattern, std::size_t capacity);

// Deletes folder with everything in it; read-only entries go too. Names beginning with "." are
// left alone. A junction or symbolic link is never followed, moved or removed, and a folder that
// is one is not touched at all. A file or folder still held by another process (a virus scanner
// that just looked at a new program, say) is tried again for up to kDeleteRetryMs in all; then
// the deletion stops there. guard, when given, is a handle on folder that is closed once the
// folder is empty, just before the folder itself goes. True when the folder itself was removed.
bool DeleteFolderTree(const wchar_t* folder, HANDLE guard = INVALID_HANDLE_VALUE);

constexpr DWORD kDeleteRetryMs = 3000;
