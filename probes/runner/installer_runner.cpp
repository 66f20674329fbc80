#include "installer_runner.h"

#include <algorithm>
#include <cwctype>

namespace runner {
namespace {

// A box is inspected (text and icon) no sooner than this after it became visible, so that it has
// been painted: its icon can only be read from the screen.
const DWORD kInspectAfterMs = 250;
// A box that is still there this long after being answered gets WM_CLOSE as a last resort.
const DWORD kAnswerGraceMs = 2000;
const DWORD kPollMs = 10;

std::wstring UpperName(const std::wstring& entry) {
  // The name ends at the first '=' after the first character ("=C:=C:\x" is named "=C:").
  std::size_t eq = entry.find(L'=', entry.empty() ? 0 : 1);
  std::wstring name = entry.substr(0, eq);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

std::vector<std::wstring> CurrentEnvironment() {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return entries;
  for (const wchar_t* p = block; *p != L'\0';) {
    std::wstring entry(p);
    p += entry.size() + 1;
    entries.push_back(entry);
  }
  FreeEnvironmentStringsW(block);
  return entries;
}

DWORD Since(DWORD tick) { return GetTickCount() - tick; }

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[260];
  int n = GetClassNameW(hwnd, name, 260);
  return std::wstring(name, n > 0 ? n : 0);
}

struct BoxSearch {
  DWORD process_id;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectBoxes(HWND hwnd, LPARAM param) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->process_id && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770") {
    search->found.push_back(hwnd);
  }
  return TRUE;
}

BOOL CALLBACK FindIconControl(HWND hwnd, LPARAM param) {
  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  if ((style & SS_TYPEMASK) == SS_ICON && _wcsicmp(ClassOf(hwnd).c_str(), L"Static") == 0) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void ReadBoxTexts(HWND box, CapturedBox* captured) {
  wchar_t text[4096];
  int n = GetWindowTextW(box, text, 4096);
  captured->caption.assign(text, n > 0 ? n : 0);
  UINT m = GetDlgItemTextW(box, 0xFFFF, text, 4096);
  captured->text.assign(text, m);
  captured->buttons.clear();
  for (int id = IDOK; id <= IDCONTINUE; ++id) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr && IsWindowVisible(button) &&
        _wcsicmp(ClassOf(button).c_str(), L"Button") == 0) {
      captured->buttons.push_back(id);
    }
  }
  captured->has_owner = GetWindow(box, GW_OWNER) != nullptr;
}

// 32-bit top-down pixels of a w x h area, for comparing what the screen shows with a reference.
struct Pixels {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  DWORD* bits = nullptr;
  int width = 0;
  int height = 0;

  bool Create(int w, int h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc = CreateCompatibleDC(nullptr);
    void* data = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    if (dc == nullptr || bitmap == nullptr) return false;
    old = SelectObject(dc, bitmap);
    bits = static_cast<DWORD*>(data);
    width = w;
    height = h;
    return true;
  }
  ~Pixels() {
    if (old != nullptr) SelectObject(dc, old);
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
  }
};

unsigned long Difference(const Pixels& a, const Pixels& b) {
  unsigned long long sum = 0;
  int n = a.width * a.height;
  for (int i = 0; i < n; ++i) {
    DWORD p = a.bits[i], q = b.bits[i];
    for (int shift = 0; shift < 24; shift += 8) {
      int d = static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF);
      sum += d < 0 ? -d : d;
    }
  }
  return n > 0 ? static_cast<unsigned long>(sum / n) : 0xFFFFFFFFul;
}

// The box's icon handle belongs to the other process and cannot be examined from here, so the
// icon control's pixels on the screen are compared with the standard icons drawn the same size
// over the same background.
BoxIcon ReadBoxIcon(HWND box) {
  HWND control = nullptr;
  EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&control));
  if (control == nullptr || !IsWindowVisible(control)) return kBoxIconNone;
  DWORD_PTR icon = 0;
  if (!SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon) || icon == 0) {
    return kBoxIconNone;
  }
  RECT rect;
  if (!GetWindowRect(control, &rect)) return kBoxIconUnknown;
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return kBoxIconUnknown;
  POINT centre = {rect.left + w / 2, rect.top + h / 2};
  HWND at = WindowFromPoint(centre);
  if (at != control && at != box && GetAncestor(at, GA_ROOT) != box) return kBoxIconUnknown;

  Pixels screen;
  if (!screen.Create(w, h)) return kBoxIconUnknown;
  HDC screen_dc = GetDC(nullptr);
  BOOL copied = BitBlt(screen.dc, 0, 0, w, h, screen_dc, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen_dc);
  if (!copied) return kBoxIconUnknown;
  GdiFlush();
  // Icons leave their corners transparent, so the top-left pixel is the box's background.
  DWORD background = screen.bits[0];

  static const struct {
    LPCWSTR id;
    BoxIcon icon;
  } kStandard[] = {{IDI_HAND, kBoxIconHand},
                   {IDI_QUESTION, kBoxIconQuestion},
                   {IDI_EXCLAMATION, kBoxIconExclamation},
                   {IDI_ASTERISK, kBoxIconAsterisk}};
  BoxIcon best = kBoxIconUnknown;
  unsigned long best_difference = 0xFFFFFFFFul;
  for (const auto& standard : kStandard) {
    Pixels reference;
    HICON handle = LoadIconW(nullptr, standard.id);
    if (handle == nullptr || !reference.Create(w, h)) continue;
    for (int i = 0; i < w * h; ++i) reference.bits[i] = background;
    DrawIconEx(reference.dc, 0, 0, handle, w, h, 0, nullptr, DI_NORMAL);
    GdiFlush();
    unsigned long difference = Difference(screen, reference);
    if (difference < best_difference) {
      best_difference = difference;
      best = standard.icon;
    }
  }
  // Per pixel, summed over the three colours. The same icon drawn over the same background
  // matches exactly; the question and information icons differ from each other by only about
  // 15, so anything short of a near-exact match is left unknown rather than guessed.
  return best_difference <= 4 ? best : kBoxIconUnknown;
}

int AnswerFor(const CapturedBox& box) {
  const std::vector<int>& b = box.buttons;
  if (std::find(b.begin(), b.end(), IDOK) != b.end() || b.empty()) return IDOK;
  if (std::find(b.begin(), b.end(), IDCANCEL) != b.end()) return IDCANCEL;
  return b.front();
}

void ScanBoxes(RunningInstaller* r) {
  BoxSearch search;
  search.process_id = r->report.process_id;
  EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
  for (HWND hwnd : search.found) {
    bool known = false;
    for (const RunningInstaller::Tracked& t : r->tracked) known = known || (t.hwnd == hwnd && !t.done);
    if (known) continue;
    CapturedBox box;
    box.appeared_ms = Since(r->start_tick);
    ReadBoxTexts(hwnd, &box);
    r->report.boxes.push_back(box);
    r->tracked.push_back(RunningInstaller::Tracked{hwnd, GetTickCount(), false, false, 0, false,
                                                   r->report.boxes.size() - 1});
  }
  for (RunningInstaller::Tracked& t : r->tracked) {
    if (t.done) continue;
    CapturedBox& box = r->report.boxes[t.index];
    DWORD age = Since(t.seen_tick);
    if (!IsWindow(t.hwnd) || !IsWindowVisible(t.hwnd)) {
      t.done = true;
      if (box.answered_with == 0) box.shown_ms = age;
      continue;
    }
    if (!t.inspected && age >= kInspectAfterMs) {
      ReadBoxTexts(t.hwnd, &box);
      box.icon = ReadBoxIcon(t.hwnd);
      t.inspected = true;
    }
    if (t.inspected && r->options.dismiss_boxes && box.answered_with == 0 &&
        age >= r->options.dismiss_after_ms) {
      int id = AnswerFor(box);
      PostMessageW(t.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(t.hwnd, id)));
      box.answered_with = id;
      box.shown_ms = age;
      t.answered_tick = GetTickCount();
    } else if (box.answered_with != 0 && !t.closed && Since(t.answered_tick) >= kAnswerGraceMs) {
      PostMessageW(t.hwnd, WM_CLOSE, 0, 0);
      t.closed = true;
    }
  }
}

void FinishBoxes(RunningInstaller* r) {
  for (RunningInstaller::Tracked& t : r->tracked) {
    if (t.done) continue;
    t.done = true;
    CapturedBox& box = r->report.boxes[t.index];
    if (box.answered_with == 0) box.shown_ms = Since(t.seen_tick);
  }
}

}  // namespace

std::wstring ComposeCommandLine(const std::wstring& exe_path, const std::wstring& arguments) {
  std::wstring line = L"\"" + exe_path + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  return line;
}

std::vector<wchar_t> ComposeEnvironmentBlock(const std::vector<std::wstring>& current,
                                             const std::vector<EnvChange>& changes) {
  std::vector<std::wstring> entries = current;
  for (const EnvChange& change : changes) {
    std::wstring name = UpperName(change.name + L"=");
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& e) { return UpperName(e) == name; }),
                  entries.end());
    if (!change.remove) entries.push_back(change.name + L"=" + change.value);
  }
  // Windows expects the block sorted by name, without regard to case.
  std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return UpperName(a) < UpperName(b);
  });
  std::vector<wchar_t> block;
  for (const std::wstring& e : entries) {
    block.insert(block.end(), e.begin(), e.end());
    block.push_back(L'\0');
  }
  if (block.empty()) block.push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

int StartInstaller(const RunOptions& options, RunningInstaller* running) {
  *running = RunningInstaller();
  running->options = options;
  if (options.exe_path.empty()) return kRunnerBadArguments;
  std::wstring line = ComposeCommandLine(options.exe_path, options.arguments);
  running->report.command_line = line;
  std::vector<wchar_t> command(line.begin(), line.end());
  command.push_back(L'\0');
  std::vector<wchar_t> environment = ComposeEnvironmentBlock(CurrentEnvironment(), options.env);

  // The job lets a timed-out test end the installer together with the setup it started.
  running->job = CreateJobObjectW(nullptr, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring desktop = options.desktop;
  if (!desktop.empty()) startup.lpDesktop = &desktop[0];
  PROCESS_INFORMATION info = {};
  DWORD flags = CREATE_UNICODE_ENVIRONMENT | (running->job != nullptr ? CREATE_SUSPENDED : 0);
  if (!CreateProcessW(options.exe_path.c_str(), command.data(), nullptr, nullptr, FALSE, flags,
                      environment.data(),
                      options.current_folder.empty() ? nullptr : options.current_folder.c_str(),
                      &startup, &info)) {
    running->report.start_error = GetLastError();
    if (running->job != nullptr) CloseHandle(running->job);
    running->job = nullptr;
    return kRunnerStartFailed;
  }
  if (running->job != nullptr) {
    if (!AssignProcessToJobObject(running->job, info.hProcess)) {
      CloseHandle(running->job);
      running->job = nullptr;
    }
    ResumeThread(info.hThread);
  }
  CloseHandle(info.hThread);
  running->process = info.hProcess;
  running->report.process_id = info.dwProcessId;
  running->start_tick = GetTickCount();
  return kRunnerOk;
}

int WatchInstaller(RunningInstaller* running, DWORD wait_ms) {
  if (running->process == nullptr) return kRunnerBadArguments;
  DWORD begin = GetTickCount();
  for (;;) {
    ScanBoxes(running);
    DWORD state = WaitForSingleObject(running->process, kPollMs);
    if (state == WAIT_OBJECT_0) {
      FinishBoxes(running);
      running->report.elapsed_ms = Since(running->start_tick);
      DWORD code = 0;
      if (!GetExitCodeProcess(running->process, &code)) return kRunnerExitCodeUnreadable;
      running->report.exit_code = code;
      return kRunnerOk;
    }
    if (state == WAIT_FAILED) return kRunnerExitCodeUnreadable;
    if (Since(begin) >= wait_ms) return kRunnerStillRunning;
  }
}

void StopInstaller(RunningInstaller* running) {
  FinishBoxes(running);
  if (running->process != nullptr &&
      WaitForSingleObject(running->process, 0) == WAIT_TIMEOUT) {
    if (running->job == nullptr || !TerminateJobObject(running->job, 0xDEAD)) {
      TerminateProcess(running->process, 0xDEAD);
    }
    WaitForSingleObject(running->process, 5000);
  } else if (running->job != nullptr) {
    // Children the installer left behind would disturb the next test (single-instance mutex,
    // the fixed WorkFolder), so they go too.
    TerminateJobObject(running->job, 0xDEAD);
  }
  if (running->process != nullptr) CloseHandle(running->process);
  if (running->job != nullptr) CloseHandle(running->job);
  running->process = nullptr;
  running->job = nullptr;
}

int RunInstaller(const RunOptions& options, RunReport* report) {
  RunningInstaller running;
  int status = StartInstaller(options, &running);
  if (status == kRunnerOk) {
    status = WatchInstaller(&running, options.timeout_ms);
    if (status == kRunnerStillRunning) status = kRunnerTimedOut;
  }
  StopInstaller(&running);
  *report = running.report;
  return status;
}

const char* ButtonName(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDCLOSE: return "Close";
    case IDHELP: return "Help";
    case IDTRYAGAIN: return "TryAgain";
    case IDCONTINUE: return "Continue";
    default: return "?";
  }
}

const char* BoxIconName(BoxIcon icon) {
  switch (icon) {
    case kBoxIconNone: return "none";
    case kBoxIconHand: return "hand";
    case kBoxIconQuestion: return "question";
    case kBoxIconExclamation: return "exclamation";
    case kBoxIconAsterisk: return "asterisk";
    default: return "unknown";
  }
}

namespace {
std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  for (char c : Utf8FromWide(text)) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out + "\"";
}
}  // namespace

std::string DescribeBox(const CapturedBox& box) {
  std::string buttons;
  for (int id : box.buttons) buttons += (buttons.empty() ? "" : "+") + std::string(ButtonName(id));
  if (buttons.empty()) buttons = "none";
  return "box: caption=" + Quoted(box.caption) + " text=" + Quoted(box.text) +
         " buttons=" + buttons + " icon=" + BoxIconName(box.icon);
}

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  }
  return out;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  }
  return out;
}

}  // namespace runner
