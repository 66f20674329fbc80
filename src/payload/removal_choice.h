// Which emulator setup of the removal set a removal run starts: the 64-bit one on 64-bit Windows.
#pragma once
#include <windows.h>

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);

// The name id of the setup to start (kEmulatorSetup64NameId or kEmulatorSetup32NameId). Anything
// short of a successful call that reports WOW64 means a 32-bit Windows.
unsigned EmulatorSetupNameIdFor(bool functionFound, bool callSucceeded, BOOL wow64);

// IsWow64Process as kernel32 exports it, or null: Windows 2000 and early XP lack it, so it is
// looked up rather than imported.
IsWow64ProcessFunction LookUpIsWow64Process();

// The choice for this process.
unsigned ChooseEmulatorSetupNameId();
