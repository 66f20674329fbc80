// One embedded resource becomes one file.
#pragma once
#include <windows.h>

// Writes RT_RCDATA resource id of the installer's own module to folder\fileName, straight from the
// mapped resource in one write. Returns 0 or a Win32 error code.
DWORD ExtractPayloadFile(WORD resourceId, const wchar_t* fileName, const wchar_t* folder);

// Size of the joined-path buffer: a base of up to 260 characters plus the deepest catalogue path.
constexpr int kJoinedPathCapacity = 522;
