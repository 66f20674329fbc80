#include "run/event_record.h"

#include "common/bounded_text.h"
#include "common/run_log.h"
#include "run/result_codes.h"
#include "version.h"

namespace {

// The message file the system's own eventcreate registers: ids 1-1000 each show their one
// insertion string whole. Windows 2000 lacks it; its Event Viewer still shows the string.
const wchar_t kMessageFile[] = L"%SystemRoot%\\System32\\EventCreate.exe";
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
constexpr std::size_t kEventLineCapacity = 2048;
constexpr std::size_t kEventTextCapacity = 3 * (kEventLineCapacity + 2);

// A key an administrator or the vendor made is theirs, so only a missing one is made, and one made
// but not filled in is taken away again so that a later run tries anew.
void RegisterSource() {
  HKEY key;
  DWORD disposition = 0;
  const LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &key, &disposition);
  if (created != ERROR_SUCCESS) {
    Log("event source: its key could not be opened or made, %e", static_cast<DWORD>(created));
    return;
  }
  if (disposition == REG_OPENED_EXISTING_KEY) {
    RegCloseKey(key);
    return;
  }
  LONG status = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kMessageFile),
                               sizeof kMessageFile);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kTypesSupported),
                            sizeof kTypesSupported);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
    Log("event source: its values could not be written, %e", static_cast<DWORD>(status));
    return;
  }
  Log("event source registered");
}

// The user the run acts for, as Windows Installer names it in its records; none when unreadable.
PSID RunUser(BYTE* buffer, DWORD capacity) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  const bool read = GetTokenInformation(token, TokenUser, buffer, capacity, &size) != FALSE;
  CloseHandle(token);
  return read ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid : nullptr;
}

}  // namespace

EventChoice ChooseEvent(int exitCode, bool installerEnded) {
  if (installerEnded) {
    const bool check = exitCode >= kResultAlreadyRunning && exitCode <= kResultKdWithoutQx;
    return {EVENTLOG_ERROR_TYPE, check ? static_cast<DWORD>(exitCode) : kEventRunFailed};
  }
  if (exitCode == 0) return {EVENTLOG_INFORMATION_TYPE, kEventSucceeded};
  return {EVENTLOG_WARNING_TYPE, kEventSetupOutcome};
}

void ComposeEventText(wchar_t* text, std::size_t capacity, RunMode mode, const wchar_t* end, const wchar_t* commandLine,
                      const wchar_t* logPath) {
  // What a line quotes is escaped as the log escapes it; the breaks between the lines are the text's own.
  wchar_t line[kEventLineCapacity];
  text[0] = L'\0';
  FormatLogText(line, kEventLineCapacity, "Portivo Installer " PORTIVO_VERSION_TEXT ", %a: %s", RunModeName(mode), end);
  BoundedAppend(text, capacity, line);
  FormatLogText(line, kEventLineCapacity, "command line: %s", commandLine);
  BoundedAppend(text, capacity, L"\r\n") && BoundedAppend(text, capacity, line);
  if (logPath[0] != L'\0') {
    FormatLogText(line, kEventLineCapacity, "log: %s", logPath);
    BoundedAppend(text, capacity, L"\r\n") && BoundedAppend(text, capacity, line);
  }
}

void RecordRunEnd(RunMode mode, int exitCode, bool installerEnded, const wchar_t* end, const wchar_t* commandLine,
                  const wchar_t* logPath) {
  RegisterSource();
  wchar_t text[kEventTextCapacity];
  ComposeEventText(text, kEventTextCapacity, mode, end, commandLine, logPath);
  const EventChoice event = ChooseEvent(exitCode, installerEnded);
  alignas(DWORD) BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  const wchar_t* strings[] = {text};
  const HANDLE source = RegisterEventSourceW(nullptr, L"Portivo Installer");
  const bool reported =
      source != nullptr && ReportEventW(source, event.type, 0, event.id, RunUser(user, sizeof user), 1, 0, strings, nullptr);
  const DWORD error = GetLastError();
  if (source != nullptr) DeregisterEventSource(source);
  if (reported) {
    Log("event %u recorded in the Application log", event.id);
  } else {
    Log("the event could not be recorded in the Application log, %e", error);
  }
}
