// Bounded wide-string helpers. The CRT's *_s functions would do this, but mingw imports them from
// msvcrt.dll, whose Windows 2000 and XP builds lack them, so the installer could not load there.
#pragma once
#include <cstddef>

// Copies src into dst (capacity units, terminator included). When it does not fit, dst becomes
// empty and false is returned, as wcscpy_s leaves it.
bool BoundedCopy(wchar_t* dst, std::size_t capacity, const wchar_t* src);

// Appends src to the text in dst. When the result does not fit, dst becomes empty and false is
// returned, as wcscat_s leaves it.
bool BoundedAppend(wchar_t* dst, std::size_t capacity, const wchar_t* src);

// Length of text, counting at most max units.
std::size_t BoundedLength(const wchar_t* text, std::size_t max);

// Writes value in signed decimal, as _itow_s with radix 10 does. False (dst emptied) when the
// digits do not fit.
bool FormatDecimal(long value, wchar_t* dst, std::size_t capacity);
