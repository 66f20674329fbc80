#include "run/window_station.h"

bool StationVisibleFrom(BOOL queried, DWORD flags) {
  // A station whose flags cannot be read is taken as unseen: a box that nobody can close costs the
  // run its exit code, while a box not shown costs only words that the exit code and the log carry.
  return queried && (flags & WSF_VISIBLE) != 0;
}

bool WindowStationVisible() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  const HWINSTA station = GetProcessWindowStation();
  const BOOL queried =
      station != nullptr && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed);
  return StationVisibleFrom(queried, flags.dwFlags);
}
