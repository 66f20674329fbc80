// String-table entries by id, read straight from the installer's own resources.
#pragma once
#include <cstddef>
#include <windows.h>

constexpr unsigned kWindowTitleId = 60;     // the hidden window's title
constexpr unsigned kInstallerNameId = 111;  // the hidden window's class and the mutex's name

// The entry at index (0-15) of one string-table block of size bytes, cut at its first zero unit.
// The walk never reads past the block, so a damaged or short block gives the empty text instead of
// reading beyond the resource. False and empty text when there is no entry or it does not fit.
bool FindStringInBlock(const void* block, std::size_t size, unsigned index, wchar_t* text,
                       std::size_t capacity);

// Japanese only for exactly 1041; everyone else, Chinese users included, reads the English table.
WORD StringTableLanguage(LANGID userLanguage);

// The entry in the user's table language. False and empty text when the entry is missing or does
// not fit.
bool LoadTableString(unsigned id, wchar_t* text, std::size_t capacity);
