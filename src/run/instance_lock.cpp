#include "run/instance_lock.h"

#include "common/bounded_text.h"
#include "common/object_security.h"
#include "common/run_log.h"
#include "run/result_codes.h"

namespace {

const wchar_t kGlobalPrefix[] = L"Global\\";

// A session id that cannot be read counts as session 0, where both names are one: taking them as
// two would find the run's own lock.
bool InSessionZero() {
  using SessionFunction = BOOL(WINAPI*)(DWORD, DWORD*);
  const HMODULE kernel = GetModuleHandleW(L"kernel32");
  const auto sessionOf = kernel != nullptr ? reinterpret_cast<SessionFunction>(
                                                 reinterpret_cast<void*>(GetProcAddress(kernel, "ProcessIdToSessionId")))
                                           : nullptr;
  DWORD session = 0;
  return sessionOf == nullptr || !sessionOf(GetCurrentProcessId(), &session) || session == 0;
}

// 32 bits at most: a 64-bit division would import a helper of the compiler's runtime on i686.
void AppendUnsigned(char* text, std::size_t capacity, DWORD value) {
  char digits[12];
  std::size_t count = sizeof digits - 1;
  digits[count] = '\0';
  do {
    digits[--count] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  BoundedAppend(text, capacity, digits + count);
}

// Appends the owner as "S-1-5-32-544 (SYSTEM or Administrators)". Written out here rather than
// through ConvertSidToStringSidA, whose string comes from the heap the installer never uses.
void OwnerText(PSECURITY_DESCRIPTOR descriptor, char* text, std::size_t capacity) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
      !IsValidSid(owner)) {
    BoundedAppend(text, capacity, "none that could be read");
    return;
  }
  // The authority in decimal where it fits 32 bits, in hexadecimal otherwise, as Windows writes it.
  const BYTE* authority = GetSidIdentifierAuthority(owner)->Value;
  BoundedAppend(text, capacity, "S-1-");
  if (authority[0] != 0 || authority[1] != 0) {
    char hex[] = "0x000000000000";
    for (int i = 0; i < 12; ++i) hex[2 + i] = "0123456789ABCDEF"[(authority[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0xF];
    BoundedAppend(text, capacity, hex);
  } else {
    AppendUnsigned(text, capacity, static_cast<DWORD>(authority[2]) << 24 | authority[3] << 16 | authority[4] << 8 | authority[5]);
  }
  for (BYTE i = 0; i < *GetSidSubAuthorityCount(owner); ++i) {
    BoundedAppend(text, capacity, "-");
    AppendUnsigned(text, capacity, *GetSidSubAuthority(owner, i));
  }
  if (IsAdministrationSid(owner)) BoundedAppend(text, capacity, " (SYSTEM or Administrators)");
}

// One name: made anew with the installer's descriptor, or judged by who made the one there.
LockFinding TakeLock(const wchar_t* name, ObjectSecurity* security) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security != nullptr ? &security->descriptor : nullptr, FALSE};
  HANDLE mutex = CreateMutexW(&attributes, FALSE, name);
  DWORD createError = GetLastError();
  if (mutex == nullptr && createError == ERROR_INVALID_OWNER) {
    // Not elevated: the lock is still taken, with the user as its owner, and the administrator
    // check that follows gives the run its 104.
    Log("lock %s: this run may not make Administrators its owner; taken with its own", name);
    mutex = CreateMutexW(nullptr, FALSE, name);
    createError = GetLastError();
  }
  if (mutex != nullptr && createError != ERROR_ALREADY_EXISTS) {
    // Never closed: the system releases the lock when this process ends.
    Log("lock %s: taken", name);
    return kLockTaken;
  }
  // What was there first: read its owner through the handle, or through one opened for reading.
  DWORD openError = 0;
  HANDLE reader = mutex;
  if (reader == nullptr && createError == ERROR_ACCESS_DENIED) {
    reader = OpenMutexW(READ_CONTROL, FALSE, name);
    if (reader == nullptr) openError = GetLastError();
  }
  alignas(DWORD) BYTE descriptor[512];
  DWORD needed = 0;
  const bool read = reader != nullptr &&
                    GetKernelObjectSecurity(reader, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed);
  const LockFinding finding = JudgeLock(createError, openError, read ? OwnerOfDescriptor(descriptor) : kOwnerUnreadable);
  // A handle CreateMutexW gave stays open whatever was found, as the one lock always did; only the
  // reader opened here goes.
  if (reader != nullptr && reader != mutex) CloseHandle(reader);
  char found[160];
  if (createError == ERROR_INVALID_HANDLE || openError == ERROR_INVALID_HANDLE) {
    BoundedCopy(found, sizeof found, "an object of another kind");
  } else if (openError == ERROR_ACCESS_DENIED) {
    BoundedCopy(found, sizeof found, "a mutex that refuses administrators to read its owner");
  } else if (!read) {
    BoundedCopy(found, sizeof found, "a mutex whose owner could not be read");
  } else {
    BoundedCopy(found, sizeof found, "a mutex with the owner ");
    OwnerText(descriptor, found, sizeof found);
  }
  if (finding == kLockFree) {
    Log("lock %s: nobody holds it, and this run may not make it, %e", name, createError);
  } else if (finding == kLockOfAnother) {
    Log("lock %s: %a stands at its name, which no installer makes, so the run goes on", name, found);
  } else if (createError == ERROR_ALREADY_EXISTS || read) {
    Log("lock %s: held by another installer: %a", name, found);
  } else {
    Log("lock %s: could not be made or read, %e; taken for another installer's", name,
        openError != 0 ? openError : createError);
  }
  return finding;
}

}  // namespace

LockOwner OwnerOfDescriptor(PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr || !IsValidSid(owner)) {
    return kOwnerUnreadable;
  }
  return IsAdministrationSid(owner) ? kOwnerAdministration : kOwnerOther;
}

LockFinding JudgeLock(DWORD createError, DWORD openError, LockOwner owner) {
  if (createError == 0) return kLockTaken;
  // Installers make mutexes, so an object of another kind under the name is none of theirs.
  if (createError == ERROR_INVALID_HANDLE || openError == ERROR_INVALID_HANDLE) return kLockOfAnother;
  if (createError == ERROR_ACCESS_DENIED) {
    // No global name there, and no right to make one (a run that is not elevated).
    if (openError == ERROR_FILE_NOT_FOUND) return kLockFree;
    // Every installer's lock lets administrators read it; one that refuses them is a trap.
    if (openError == ERROR_ACCESS_DENIED) return kLockOfAnother;
  } else if (createError != ERROR_ALREADY_EXISTS) {
    // The lock could not be made for another reason: better a retry than two installs at once.
    return kLockOfAnInstaller;
  }
  return owner == kOwnerOther ? kLockOfAnother : kLockOfAnInstaller;
}

int CheckSingleInstance(const wchar_t* name) {
  ObjectSecurity security;
  const bool secured = BuildAdministratorsOnlySecurity(security, MUTEX_ALL_ACCESS, 0);
  if (!secured) Log("the locks' descriptor could not be built, %e; they are made with the default one", GetLastError());
  wchar_t global[MAX_PATH];
  const bool globalFits = BoundedCopy(global, MAX_PATH, kGlobalPrefix) && BoundedAppend(global, MAX_PATH, name);
  bool held = !globalFits;
  if (globalFits) held = TakeLock(global, secured ? &security : nullptr) == kLockOfAnInstaller;
  if (InSessionZero()) {
    Log("session 0: the plain name %s is the global one", name);
  } else if (TakeLock(name, secured ? &security : nullptr) == kLockOfAnInstaller) {
    held = true;
  }
  if (!held) {
    Log("single-instance check: passed");
    return kResultSuccess;
  }
  // The first instance's hidden window has the name as its class; the user is probably looking
  // for that installer, so it comes to the front.
  const HWND other = FindWindowW(name, nullptr);
  if (other != nullptr) SetForegroundWindow(other);
  Log("single-instance check: another installer is running (101)");
  return kResultAlreadyRunning;
}
