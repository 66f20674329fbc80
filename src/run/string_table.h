// String-table entries by id, read straight from the installer's own resources.
#pragma once
#include <cstddef>
#include <string>
#include <windows.h>

constexpr unsigned kWindowTitleId = 60;     // the hidden window's title
constexpr unsigned kInstallerNameId = 111;  // the hidden window's class and the mutex's name

// The entry at index (0-15) of one string-table block of size bytes. The walk never reads past the
// block, so a damaged or short block gives the empty text instead of reading beyond the resource.
std::wstring FindStringInBlock(const void* block, std::size_t size, unsigned index);

// Japanese only for exactly 1041; everyone else, Chinese users included, reads the English table.
WORD StringTableLanguage(LANGID userLanguage);

// The entry in the user's table language, or empty when there is none.
std::wstring LoadTableString(unsigned id);
