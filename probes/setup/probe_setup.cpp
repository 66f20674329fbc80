// Test probe that stands in for the package's "setup.exe". It records what the installer gave it
// (command line, current folder, the unpacked tree, PORTS.dat), can show a dialog-like window and
// count how often someone else raises it, posts the outcomes a test asks for to the /W32 window,
// and exits with a chosen code. Every control comes from environment variables that the installer
// passes on unchanged:
//
//   PROBE_RECORD=<file>          write the record there (UTF-8, key=value lines, "complete=1" last)
//                                and a byte-exact copy of the PORTS.dat beside this program to
//                                "<file>.ports" (removed when there is none)
//   PROBE_POST=<v>[,<v>...]      outcomes (decimal or 0x-hex) posted in order, just before the end
//   PROBE_EXIT=<code>|crash      exit code (decimal, negative decimal or 0x-hex; default 0), or
//                                crash: write through a null pointer once the record is written
//   PROBE_WINDOW_CLASS=<c>[,<c>] show one top-level window per class, never activated by the probe
//   PROBE_WINDOW_MS=<ms>         how long the windows stay without PROBE_WAIT_EVENT (default 5000;
//                                they go 2500 ms after the first raise)
//   PROBE_TAKE_BACK=1            right after the first raise, the probe's own anchor window takes
//                                the foreground back, as a user switching away would
//   PROBE_WAIT_EVENT=<name>      before posting, wait until a test sets this named event
//   PROBE_WAIT_MS=<ms>           bound of that wait (default 60000)
//   PROBE_STARTED_EVENT=<name>   named event set as soon as the probe runs
//
// Record keys, in this order (repeated keys in the order of the events):
//   probe=setup, started_event=set|failed:<error> (when asked), pid, command_line (GetCommandLineW),
//   current_folder, module_path; with PROBE_RECORD: ports_present=0|1, ports_exclusive_open=1 or
//   0:<error>, ports_size, ports_copy=<path>; file=<relative path>|<size>|<crc32> per file and
//   folder=<relative path> per folder, in name order, folder by folder; file_count;
//   window=<class>|<activations by others>|<1 if foreground at the end> per window;
//   wait=signalled|timeout|error:<n>; w32_window=<handle>|none, w32_message;
//   post=<text>|ok|failed:<error>|no-window|unparsable per outcome; exit_code; complete=1.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/probe_support.h"

namespace {

const wchar_t kAnchorClass[] = L"PortivoProbeAnchor";
const DWORD kRaiseGraceMs = 2500;

struct ProbeWindow {
  std::wstring class_name;
  HWND hwnd = nullptr;
  bool active = false;
  unsigned long activations = 0;
};

std::vector<ProbeWindow> g_windows;
bool g_raised = false;
DWORD g_first_raise_tick = 0;
// PROBE_TAKE_BACK: the window that takes the foreground back once, after the first raise.
HWND g_take_back_to = nullptr;

// Each record line in the order it will be written.
std::vector<std::string> g_record;

void Record(const char* key, const std::string& value) {
  g_record.push_back(std::string(key) + "=" + value);
}

void Record(const char* key, const std::wstring& value) { Record(key, probe::Utf8(value)); }

std::vector<std::wstring> SplitList(const std::wstring& text) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(L',', start);
    if (comma == std::wstring::npos) comma = text.size();
    std::wstring item = text.substr(start, comma - start);
    if (!item.empty()) items.push_back(item);
    start = comma + 1;
  }
  return items;
}

DWORD NumberFromEnv(const wchar_t* name, DWORD fallback) {
  unsigned long value = 0;
  return probe::ParseNumber(probe::ReadEnv(name), &value) ? value : fallback;
}

void SignalStarted() {
  bool present = false;
  std::wstring name = probe::ReadEnv(L"PROBE_STARTED_EVENT", &present);
  if (!present) return;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  bool ok = event != nullptr && SetEvent(event);
  // The handle stays open until the end so that a test that opens the event late still finds it.
  Record("started_event", ok ? "set" : "failed:" + probe::Decimal(GetLastError()));
}

// Walks the folder of this program, files and folders in name order, each file with its size and
// CRC-32 so that a test can prove every unpacked byte.
void RecordTree(const std::wstring& root, const std::wstring& relative, unsigned long* files) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> names;
  std::vector<std::wstring> folders;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(name);
    else names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  std::sort(folders.begin(), folders.end());
  for (const std::wstring& name : names) {
    std::wstring path = root + relative + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    unsigned long long size = 0;
    unsigned long crc = 0;
    bool read_ok = file != INVALID_HANDLE_VALUE;
    if (read_ok) {
      static char buffer[65536];
      DWORD got = 0;
      while ((read_ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        crc = probe::Crc32(crc, buffer, got);
        size += got;
      }
      CloseHandle(file);
    }
    Record("file", probe::Utf8(relative + name) + "|" + probe::Decimal(size) + "|" +
                       (read_ok ? probe::Hex8(crc) : std::string("unreadable")));
    ++*files;
  }
  for (const std::wstring& folder : folders) {
    Record("folder", relative + folder);
    RecordTree(root, relative + folder + L"\\", files);
  }
}

// Copies PORTS.dat byte for byte. Opening it with no sharing succeeds only when nobody holds it
// open any more, which is what tells the test that the installer had finished and closed it.
void CopyPortsFile(const std::wstring& folder, const std::wstring& record_path) {
  std::wstring copy_path = record_path + L".ports";
  DeleteFileW(copy_path.c_str());
  std::wstring ports = folder + L"PORTS.dat";
  if (GetFileAttributesW(ports.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Record("ports_present", "0");
    return;
  }
  Record("ports_present", "1");
  HANDLE file = CreateFileW(ports.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    Record("ports_exclusive_open", "1");
  } else {
    Record("ports_exclusive_open", "0:" + probe::Decimal(GetLastError()));
    file = CreateFileW(ports.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Record("ports_copy", "unreadable");
      return;
    }
  }
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  Record("ports_size", probe::Decimal(bytes.size()));
  Record("ports_copy", probe::WriteWholeFile(copy_path, bytes) ? copy_path : L"failed");
}

ProbeWindow* FindWindowSlot(HWND hwnd) {
  for (ProbeWindow& w : g_windows) {
    if (w.hwnd == hwnd) return &w;
  }
  return nullptr;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ACTIVATE) {
    if (ProbeWindow* slot = FindWindowSlot(hwnd)) {
      bool active = LOWORD(wparam) != WA_INACTIVE;
      // Only a change from inactive to active counts, so that a window manager repeating the
      // activation of a window that already has it does not count as a second raise.
      if (active && !slot->active) {
        ++slot->activations;
        if (!g_raised) g_first_raise_tick = GetTickCount();
        g_raised = true;
      }
      slot->active = active;
    }
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void PumpUntil(HANDLE release, DWORD deadline_ms, DWORD start) {
  for (;;) {
    DWORD now = GetTickCount() - start;
    if (now >= deadline_ms) return;
    if (release == nullptr && g_raised && GetTickCount() - g_first_raise_tick >= kRaiseGraceMs) {
      return;
    }
    DWORD wait = deadline_ms - now;
    if (wait > 50) wait = 50;
    DWORD r = MsgWaitForMultipleObjects(release != nullptr ? 1 : 0, &release, FALSE, wait,
                                        QS_ALLINPUT);
    if (release != nullptr && r == WAIT_OBJECT_0) {
      Record("wait", "signalled");
      return;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (g_raised && g_take_back_to != nullptr) {
      SetForegroundWindow(g_take_back_to);
      g_take_back_to = nullptr;
    }
  }
}

HANDLE OpenReleaseEvent() {
  bool present = false;
  std::wstring name = probe::ReadEnv(L"PROBE_WAIT_EVENT", &present);
  if (!present) return nullptr;
  // Created when missing, so that the order in which the test and the probe reach it is free.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  if (event == nullptr) Record("wait", "error:" + probe::Decimal(GetLastError()));
  return event;
}

// The windows stay until the test releases the probe, or for PROBE_WINDOW_MS. An anchor window of
// our own is shown first and keeps the activation, so that the counted windows become active only
// when another process raises them.
void RunWindowPhase(HINSTANCE instance, const std::vector<std::wstring>& classes, HANDLE release) {
  RegisterWindowClass(instance, kAnchorClass);
  HWND anchor = CreateWindowExW(0, kAnchorClass, L"Probe anchor", WS_OVERLAPPEDWINDOW, 400, 300,
                                200, 120, nullptr, nullptr, instance, nullptr);
  ShowWindow(anchor, SW_SHOWNORMAL);
  SetForegroundWindow(anchor);
  if (probe::ReadEnv(L"PROBE_TAKE_BACK") == L"1") g_take_back_to = anchor;
  g_windows.reserve(classes.size());
  int offset = 0;
  for (const std::wstring& name : classes) {
    ProbeWindow slot;
    slot.class_name = name;
    if (RegisterWindowClass(instance, name.c_str())) {
      g_windows.push_back(slot);
      HWND hwnd = CreateWindowExW(0, name.c_str(), L"Probe setup dialog", WS_OVERLAPPEDWINDOW,
                                  40 + offset, 40 + offset, 320, 200, nullptr, nullptr, instance,
                                  nullptr);
      g_windows.back().hwnd = hwnd;
      if (hwnd != nullptr) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    } else {
      slot.class_name += L" (class not registered)";
      g_windows.push_back(slot);
    }
    offset += 30;
  }
  // Above the counted windows, so that when a window of another process goes (a box, say), the
  // activation falls back to the anchor and not to a counted window.
  SetWindowPos(anchor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  DWORD start = GetTickCount();
  if (release != nullptr) {
    PumpUntil(release, NumberFromEnv(L"PROBE_WAIT_MS", 60000), start);
  } else {
    PumpUntil(nullptr, NumberFromEnv(L"PROBE_WINDOW_MS", 5000), start);
  }
  for (const ProbeWindow& w : g_windows) {
    Record("window", probe::Utf8(w.class_name) + "|" + probe::Decimal(w.activations) + "|" +
                         (w.hwnd != nullptr && GetForegroundWindow() == w.hwnd ? "1" : "0"));
  }
  // The windows are left for the process end to remove: destroying them one by one would pass
  // the activation on, and under Wine without a window manager each one costs seconds.
}

void WaitForRelease(HANDLE release) {
  DWORD r = WaitForSingleObject(release, NumberFromEnv(L"PROBE_WAIT_MS", 60000));
  Record("wait", r == WAIT_OBJECT_0 ? "signalled" : r == WAIT_TIMEOUT ? "timeout" : "error");
}

// "/W32:<signed decimal handle>:<decimal message>", wherever it stands on the command line.
bool FindResultWindow(const std::wstring& command_line, HWND* window, UINT* message) {
  std::size_t at = command_line.find(L"/W32:");
  if (at == std::wstring::npos) return false;
  std::size_t i = at + 5;
  bool negative = i < command_line.size() && command_line[i] == L'-';
  if (negative) ++i;
  long long handle = 0;
  std::size_t digits = 0;
  for (; i < command_line.size() && command_line[i] >= L'0' && command_line[i] <= L'9'; ++i) {
    handle = handle * 10 + (command_line[i] - L'0');
    ++digits;
  }
  if (digits == 0 || i >= command_line.size() || command_line[i] != L':') return false;
  ++i;
  unsigned long msg = 0;
  digits = 0;
  for (; i < command_line.size() && command_line[i] >= L'0' && command_line[i] <= L'9'; ++i) {
    msg = msg * 10 + (command_line[i] - L'0');
    ++digits;
  }
  if (digits == 0) return false;
  *window = reinterpret_cast<HWND>(static_cast<INT_PTR>(negative ? -handle : handle));
  *message = msg;
  return true;
}

void PostOutcomes(const std::wstring& command_line) {
  HWND window = nullptr;
  UINT message = 0;
  bool have_window = FindResultWindow(command_line, &window, &message);
  if (have_window) {
    Record("w32_window", probe::Decimal(reinterpret_cast<UINT_PTR>(window)));
    Record("w32_message", probe::Decimal(message));
  } else {
    Record("w32_window", "none");
  }
  for (const std::wstring& item : SplitList(probe::ReadEnv(L"PROBE_POST"))) {
    unsigned long value = 0;
    std::string line = probe::Utf8(item) + "|";
    if (!probe::ParseNumber(item, &value)) {
      line += "unparsable";
    } else if (!have_window) {
      line += "no-window";
    } else if (PostMessageW(window, message, static_cast<WPARAM>(value), 0)) {
      line += "ok";
    } else {
      line += "failed:" + probe::Decimal(GetLastError());
    }
    Record("post", line);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  Record("probe", "setup");
  SignalStarted();
  const std::wstring command_line = GetCommandLineW();
  const std::wstring module_path = probe::ModulePath(nullptr);
  const std::wstring folder = probe::FolderOf(module_path);
  Record("pid", probe::Decimal(GetCurrentProcessId()));
  Record("command_line", command_line);
  Record("current_folder", probe::CurrentFolder());
  Record("module_path", module_path);

  bool record_wanted = false;
  const std::wstring record_path = probe::ReadEnv(L"PROBE_RECORD", &record_wanted);
  if (record_wanted) {
    CopyPortsFile(folder, record_path);
    unsigned long files = 0;
    RecordTree(folder, L"", &files);
    Record("file_count", probe::Decimal(files));
  }

  HANDLE release = OpenReleaseEvent();
  std::vector<std::wstring> classes = SplitList(probe::ReadEnv(L"PROBE_WINDOW_CLASS"));
  if (!classes.empty()) {
    RunWindowPhase(instance, classes, release);
  } else if (release != nullptr) {
    WaitForRelease(release);
  }

  PostOutcomes(command_line);
  unsigned long exit_code = 0;
  const bool crash = probe::ReadEnv(L"PROBE_EXIT") == L"crash";
  probe::ParseNumber(probe::ReadEnv(L"PROBE_EXIT"), &exit_code);
  Record("exit_code", crash ? std::string("crash") : probe::Decimal(exit_code));
  Record("complete", "1");

  if (record_wanted) {
    std::string text;
    for (const std::string& line : g_record) text += line + "\n";
    probe::WriteWholeFile(record_path, text);
  }
  if (crash) probe::CrashByNullWrite();
  return static_cast<int>(exit_code);
}
