// Bounded string helpers, the one place where text is copied, joined and numbers are written. The
// CRT's *_s functions would do this, but mingw imports them from msvcrt.dll, whose Windows 2000
// and XP builds lack them, so the installer could not load there. Every helper takes the buffer's
// capacity in units, terminator included; wide text for paths and command lines, 8-bit text for
// the registry walks and PORTS.dat.
#pragma once
#include <cstddef>

// Length of text, counting at most max units.
std::size_t BoundedLength(const wchar_t* text, std::size_t max);
std::size_t BoundedLength(const char* text, std::size_t max);

// Copies src into dst. When it does not fit, dst becomes empty and false is returned, as
// wcscpy_s leaves it.
bool BoundedCopy(wchar_t* dst, std::size_t capacity, const wchar_t* src);
bool BoundedCopy(char* dst, std::size_t capacity, const char* src);

// Copies the first count units of src, fewer when a zero comes first. Empty and false when they
// do not fit.
bool BoundedCopyPart(wchar_t* dst, std::size_t capacity, const wchar_t* src, std::size_t count);
bool BoundedCopyPart(char* dst, std::size_t capacity, const char* src, std::size_t count);

// Appends src to the text in dst. When the result does not fit, dst becomes empty and false is
// returned, as wcscat_s leaves it.
bool BoundedAppend(wchar_t* dst, std::size_t capacity, const wchar_t* src);
bool BoundedAppend(char* dst, std::size_t capacity, const char* src);

// Writes value in signed decimal, as _itow_s with radix 10 does. False (dst emptied) when the
// digits do not fit.
bool FormatDecimal(long value, wchar_t* dst, std::size_t capacity);

// Appends value as printf's "%0<width>d" writes it: zeros between the sign and the digits until
// the number is width characters long (width 0: "%d"). False (dst emptied) when it does not fit.
bool AppendDecimal(char* dst, std::size_t capacity, long value, std::size_t width);
