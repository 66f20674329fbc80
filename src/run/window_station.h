// Whether anybody can see what this process shows. Deployment tools run installers as SYSTEM on a
// window station that is not visible; a box there waits for ever, turning a clear exit code into
// a hang that the tool ends at its own time limit.
#pragma once
#include <windows.h>

// The decision on what GetUserObjectInformationW(UOI_FLAGS) gave: queried is its result, flags the
// USEROBJECTFLAGS.dwFlags it filled in.
bool StationVisibleFrom(BOOL queried, DWORD flags);

// Whether the process's window station is visible (WSF_VISIBLE).
bool WindowStationVisible();
