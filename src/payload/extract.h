// One embedded resource becomes one file.
#pragma once
#include <windows.h>

// The bytes of RT_RCDATA resource id of the installer's own module, in place. Returns 0 or the
// Win32 error code of the step that failed.
DWORD LockPayloadResource(WORD resourceId, const unsigned char** data, DWORD* size);

// Writes RT_RCDATA resource id of the installer's own module to folder\fileName, straight from the
// mapped resource in one write. The file must be new: the folder is always one the run just made,
// so anything at the name was put there by somebody else and is never opened, let alone truncated.
// Returns 0 once every byte is written and the file closed, else a Win32 error code; a file that
// failed part-way stays for the caller to delete. *size, when given, gets the resource's size.
DWORD ExtractPayloadFile(WORD resourceId, const wchar_t* fileName, const wchar_t* folder, DWORD* size = nullptr);

// The file write, replaced only by tests that make a write fail part-way.
using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern WriteFileFunction g_payloadWriteFile;

// Size of the joined-path buffer: a base of up to 260 characters plus the deepest catalogue path.
constexpr int kJoinedPathCapacity = 522;
