// The path of a program to start, and the test that it has arrived.
#pragma once
#include <windows.h>

// WorkFolder + file name in a MAX_PATH buffer. False (path emptied) when it does not fit: the
// caller treats that like a missing program rather than starting something else.
bool BuildProgramPath(wchar_t (&path)[MAX_PATH], const wchar_t* workFolder, const wchar_t* fileName);

// A file or a folder of that name counts.
bool PathExists(const wchar_t* path);
