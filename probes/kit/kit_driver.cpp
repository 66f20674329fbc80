// The Windows test kit's driver, started by run-tests.cmd: runs the test programs beside it, each
// writing its results as XML, and sums them up for a person and for a script: the Windows it ran
// on, every case that failed or was skipped with its reason, and as the last line
// "N passed, M failed, K skipped", also written to results.txt in the kit's folder. The exit code
// is 0 only when nothing failed and something passed; 2 without /yes, with nothing changed.
// (On Windows 2000 and XP, where no test program loads, run-tests.cmd says so itself.)
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The test programs, with the oldest Windows that loads each and why.
struct Program { const wchar_t* name; DWORD version; const char* needs; } const kPrograms[] = {
    {L"unit_tests.exe", 0x600, "Windows Vista or later: its runtime imports GetTickCount64"},
    {L"e2e_tests.exe", 0x601, "Windows 7 or later: it imports QueryActCtxSettingsW"},
};

struct Totals {
  unsigned passed = 0;
  std::vector<std::string> failed, skipped;  // "<case>: <reason>"
};

template <typename Function> Function Export(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
}

// The version as it is (GetVersionExW tells a program without a manifest 6.2 on 8.1 and later), the
// machine's architecture and the test programs' own, and Wine's version under Wine.
std::string DescribeWindows(OSVERSIONINFOW* version) {
  version->dwOSVersionInfoSize = sizeof *version;
  Export<LONG(WINAPI*)(OSVERSIONINFOW*)>(L"ntdll.dll", "RtlGetVersion")(version);
  USHORT process = 0, native = IMAGE_FILE_MACHINE_I386;
  const auto isWow64Process2 = Export<BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)>(L"kernel32.dll", "IsWow64Process2");
  SYSTEM_INFO info = {};
  if (isWow64Process2 == nullptr || !isWow64Process2(GetCurrentProcess(), &process, &native)) {
    GetNativeSystemInfo(&info);
    if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) native = IMAGE_FILE_MACHINE_AMD64;
  }
  const USHORT own = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
  const auto name = [](USHORT machine) { return machine == 0xAA64 ? "ARM64" : machine == IMAGE_FILE_MACHINE_AMD64 ? "x64" : "x86"; };
  const auto wine = Export<const char*(CDECL*)()>(L"ntdll.dll", "wine_get_version");
  char text[512];
  wsprintfA(text, "Windows %lu.%lu build %lu %S, %s; the test programs are %s%s%s%s\n", version->dwMajorVersion,
            version->dwMinorVersion, version->dwBuildNumber, version->szCSDVersion, name(native), name(own),
            native == own ? "" : native == 0xAA64 ? ", emulated" : ", under WOW64", wine ? "; under Wine " : "",
            wine ? wine() : "");
  return text;
}

// An attribute of the element that starts at `at`, its line breaks shown as " / ".
std::string Attribute(const std::string& xml, std::size_t at, const std::string& name) {
  const std::size_t end = xml.find('>', at), begin = xml.find(" " + name + "=\"", at);
  std::string text;
  for (std::size_t i = begin + name.size() + 3; begin < end && xml[i] != '"'; ++i) {
    const std::string entity = xml[i] == '&' ? xml.substr(i + 1, xml.find(';', i) - i - 1) : "";
    i += entity.empty() ? 0 : entity.size() + 1;
    text += entity.empty() ? std::string(1, xml[i]) : entity == "#x0A" ? " / " : entity == "lt" ? "<" : entity == "gt" ? ">"
          : entity == "quot" ? "\"" : entity == "apos" ? "'" : entity == "amp" ? "&" : "?";
  }
  return text;
}

// The cases of one GoogleTest XML report: a case with a failure failed, whatever else it did.
void CountCases(const std::string& xml, Totals* totals) {
  for (std::size_t at = xml.find("<testcase "), next; at != std::string::npos; at = next) {
    next = xml.find("<testcase ", at + 1);
    const std::string name = Attribute(xml, at, "classname") + "." + Attribute(xml, at, "name");
    const std::size_t failure = xml.find("<failure ", at);
    const std::string skip = Attribute(xml, xml.find("<skipped ", at) < next ? xml.find("<skipped ", at) : at, "message");
    if (Attribute(xml, at, "status") != "run") continue;
    if (failure < next) {
      totals->failed.push_back(name + ": " + Attribute(xml, failure, "message"));
    } else if (Attribute(xml, at, "result") == "skipped") {  // the reason, then where it was given
      const std::size_t cut = std::min(skip.find(" / "), skip.size());
      totals->skipped.push_back(name + ": " + skip.substr(std::min(cut + 3, skip.size())) + " (" + skip.substr(0, cut) + ")");
    } else {
      ++totals->passed;
    }
  }
}

// A program that did not start, left no whole report or failed in a way its report does not show
// fails as a whole, besides its cases.
void RunProgram(const std::wstring& folder, const std::wstring& run, const Program& program, Totals* totals) {
  const std::wstring report = run + L"\\" + program.name + L".xml";
  std::wstring line = L"\"" + folder + L"\\" + program.name + L"\" \"--gtest_output=xml:" + report + L"\"";
  DeleteFileW(report.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  // Its output goes where the kit's goes.
  const bool started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, run.c_str(), &startup, &child);
  DWORD code = GetLastError();
  if (started && WaitForSingleObject(child.hProcess, 60 * 60 * 1000) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, WAIT_TIMEOUT);
  if (started) GetExitCodeProcess(child.hProcess, &code);
  std::string xml;
  const HANDLE file = CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char chunk[65536];
  for (DWORD got = 0; ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0;) xml.append(chunk, got);
  CloseHandle(file);
  const std::size_t failedBefore = totals->failed.size();
  CountCases(xml, totals);
  const bool whole = xml.find("</testsuites>") != std::string::npos;
  char why[160];
  wsprintfA(why, started ? "%S: ended with exit code 0x%08lX, %s" : "%S: did not start (error %lu)", program.name, code,
            whole ? "though no case failed" : "before its report was whole");
  if (!whole || (code != 0 && totals->failed.size() == failedBefore)) totals->failed.push_back(why);
}

void Print(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool yes = false;
  for (int i = 1; i < argc; ++i) yes = yes || lstrcmpiW(argv[i], L"/yes") == 0;
  if (!yes) {
    Print("This kit installs and removes the probe driver package's files, the driver's service keys and\n"
          "registry values, runs programs as SYSTEM, and for a while points Program Files and the Start\n"
          "menu elsewhere. It belongs on a throwaway machine (a virtual machine with a snapshot to go back\n"
          "to). Nothing was changed. To run it there, in an elevated prompt: run-tests.cmd /yes\n");
    return 2;
  }
  wchar_t self[MAX_PATH] = {};
  std::wstring tests(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  tests.erase(tests.find_last_of(L'\\'));
  const std::wstring kit = tests.substr(0, tests.find_last_of(L'\\')), run = kit + L"\\run";
  CreateDirectoryW(run.c_str(), nullptr);
  // A crashing probe must end at once, not wait behind an error report's box; children inherit it.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  OSVERSIONINFOW version = {};
  std::string summary = DescribeWindows(&version);
  Print("Portivo Installer test kit on " + summary);
  Totals totals;
  for (const Program& program : kPrograms) {
    char why[160];
    // An administrator's token that is not elevated holds the group for denying only: not one.
    if (!IsUserAnAdmin()) {
      wsprintfA(why, "%S: not run: the prompt is not elevated (Run as administrator)", program.name);
      totals.failed.push_back(why);
    } else if (version.dwMajorVersion * 0x100 + version.dwMinorVersion < program.version) {
      wsprintfA(why, "%S: all its cases: it needs %s", program.name, program.needs);
      totals.skipped.push_back(why);
    } else {
      RunProgram(tests, run, program, &totals);
    }
  }
  for (const std::string& failed : totals.failed) summary += "failed: " + failed + "\n";
  for (const std::string& skipped : totals.skipped) summary += "skipped: " + skipped + "\n";
  char last[96];
  wsprintfA(last, "%u passed, %u failed, %u skipped\n", totals.passed, static_cast<unsigned>(totals.failed.size()),
            static_cast<unsigned>(totals.skipped.size()));
  Print(summary += last);
  const HANDLE results = CreateFileW((kit + L"\\results.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(results, summary.data(), static_cast<DWORD>(summary.size()), &written, nullptr);
  CloseHandle(results);
  return totals.failed.empty() && totals.passed > 0 ? 0 : 1;
}
