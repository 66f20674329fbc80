// The checks a run makes before it writes anything. Each returns 0 (pass) or its result code; the
// run sequence shows the boxes and decides when to stop.
#pragma once
#include <windows.h>

#include "run/command_line.h"

// The driver-mode table: the installer refuses to mix a kernel-mode and a user-mode driver.
// emulatorServicePresent: the user-mode emulator's service key exists. kernelModeMark: the
// kernel-mode driver's service key holds a "KM" value that reads into 4 bytes.
int DriverModeResult(bool emulatorServicePresent, bool kernelModeMark, DriverMode driverMode);

// Reads both marks from HKLM and applies the table. 0 or kResultModeConflict.
int CheckDriverMode(DriverMode driverMode);

// 0 when GetVersionExW reports major version 5 (Windows 2000) or later, else kResultUnsupportedOs.
// A failed call counts as too old.
int CheckWindowsVersion();

// True when groups lists sid, whatever the group's attributes: a deny-only membership counts.
bool GroupsListSid(const TOKEN_GROUPS& groups, PSID sid);

// True when the thread's token (or, when the thread does not impersonate, the process token) lists
// the administrators group. Any failure gives false.
bool IsAdministrator();

// A quiet install's port pair: the same port twice gives kResultSamePort, a KD port without a QX
// port kResultKdWithoutQx; both replace resultCode. Otherwise resultCode is returned unchanged.
int CheckRequestedPorts(RequestedPorts ports, int resultCode);

// Test hook: it defaults to the real call and is set only by tests.
using OpenThreadTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, BOOL, HANDLE*);
extern OpenThreadTokenFunction gOpenThreadToken;
