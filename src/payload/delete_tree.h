// Removing the WorkFolder again.
#pragma once
#include <cstddef>

// folder, a separator unless it already ends in one, and "*.*". False (pattern emptied) when it
// does not fit.
bool SearchPattern(const wchar_t* folder, wchar_t* pattern, std::size_t capacity);

// Deletes folder with everything in it; read-only entries go too. Names beginning with "." are
// left alone. A junction or symbolic link is removed itself, never what it points to. Stops at the
// first entry that cannot be deleted or whose path does not fit in MAX_PATH. True when the folder
// itself was removed.
bool DeleteFolderTree(const wchar_t* folder);
