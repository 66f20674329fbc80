// The single-instance lock: one install at a time on the whole machine. A run holds the mutex of
// its session's plain name, which other programs look for, and the same name in the global
// namespace, which every session sees: an agent's run as SYSTEM in session 0 and a person's run at
// the desk, or two users of one terminal server, keep out of each other's driver install.
// Both are made with a descriptor only an elevated process can give (owner Administrators), so a
// lock that a plain user's process took first is told apart and does not keep installers out.
#pragma once
#include <windows.h>

// Who made a mutex that was there first, as far as its owner tells.
enum LockOwner : int {
  kOwnerAdministration,  // Administrators or SYSTEM: an elevated process, such as an installer
  kOwnerOther,           // anybody else: a process that was not elevated
  kOwnerUnreadable,      // no owner, or it could not be read
};
LockOwner OwnerOfDescriptor(PSECURITY_DESCRIPTOR descriptor);

enum LockFinding : int {
  kLockTaken,             // the name was free and this run holds it now
  kLockFree,              // nobody holds it, but this run may not make it (no right to global names)
  kLockOfAnInstaller,     // another installer holds it: 101
  kLockOfAnother,         // something that is no installer holds it: the run goes on
};

// What a run makes of its attempt at one name. createError: GetLastError() after CreateMutexW
// (0 or ERROR_ALREADY_EXISTS when it gave a handle). When the mutex could not be opened for all
// access, openError is OpenMutexW's error for reading its owner (0: it could be read). owner: what
// the descriptor of the one that was there says.
LockFinding JudgeLock(DWORD createError, DWORD openError, LockOwner owner);

// Takes the lock under both names (only the global one in session 0, where the plain name already
// is it) and keeps every handle open until the process ends. When another installer holds either,
// its window is brought to the front where it is in this session. 0 or kResultAlreadyRunning.
int CheckSingleInstance(const wchar_t* name);
