// Removing the WorkFolder again.
#pragma once
#include <string>

// folder, a separator unless it already ends in one, and "*.*".
std::wstring SearchPattern(const std::wstring& folder);

// Deletes folder with everything in it; read-only entries go too. Names beginning with "." are
// left alone. A junction or symbolic link is removed itself, never what it points to. Stops at the
// first entry that cannot be deleted. True when the folder itself was removed.
bool DeleteFolderTree(const std::wstring& folder);
