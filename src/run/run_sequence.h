// One run of the installer, from the first check to the exit code.
#pragma once
#include <windows.h>

// Returns the process exit code: a result code, or the outcome the setup posted.
int RunInstaller(HINSTANCE instance, const wchar_t* commandLine);
