// The run log an administrator asks for with "-log:<path>": one line per step, each with the local
// time to the millisecond, so that a failed quiet run explains itself. Without the switch nothing
// is written anywhere. The log never changes the run: a log that cannot be opened or written is
// given up without a word.
#pragma once
#include <cstddef>
#include <windows.h>

// Opens the log at path, which may lie in a folder the user controls: a link at any level of the
// path, or a file with more than one name, is never written through. A plain file is truncated
// only once it is open. UTF-16LE with a byte-order mark and CR LF line ends, which Notepad shows
// from Windows 2000 on. False when the log was given up.
bool OpenRunLog(const wchar_t* path);

// Whether lines are being written.
bool RunLogOn();

// Writes one line. format is ASCII text with these conversions, each taking one argument:
//   %s  wide text                 %a  8-bit text in the system's code page, as the registry gives it
//   %d  int                       %u  DWORD, in decimal      %x  DWORD, as 0x and eight digits
//   %e  a Win32 error code (DWORD), as "error <code> (<the system's text>)"
// Control characters are shown as \xNN, so that nothing a line quotes can start another line; a line
// too long for its buffer ends in "...".
void Log(const char* format, ...);

// The text of a line as Log would write it, without the time stamp and line end, into text (at
// least 8 units). Returns its length.
std::size_t FormatLogText(wchar_t* text, std::size_t capacity, const char* format, ...);

// The text of a line as it goes into the file, without the time stamp and line end: text appended
// at used, escaped and cut as Log does. Returns the new length.
std::size_t AppendLogText(wchar_t* line, std::size_t used, std::size_t capacity, const wchar_t* text);
