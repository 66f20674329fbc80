// What the end-to-end cases share: the probe installer run as an administrator or a deployment
// script would run it, the payload catalogue's paths, the user's language, and the registry and
// folder state the cases seed, inspect and put back.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "e2e_paths.h"
#include "installer_runner.h"
#include "payload/catalogue.h"
#include "probe_paths.h"
#include "probe_record.h"
#include "resource_patch.h"
#include "scratch_folder.h"
#include "test_registry.h"

namespace e2e {

using namespace testreg;

inline std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

const wchar_t kWorkFolderName[] = L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
inline std::wstring WorkFolder() { return TempFolder() + kWorkFolderName; }

inline std::string Narrow(const std::wstring& text) { return runner::Utf8FromWide(text); }

// Wine's ntdll names its version; Windows' does not.
inline bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Everything below folder whose name starts with prefix, sorted: "sub\name" for a file,
// "sub\name\" for a folder.
inline std::vector<std::wstring> ListTree(std::wstring folder, const std::wstring& prefix = L"") {
  std::vector<std::wstring> entries;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(prefix + name + (isFolder ? L"\\" : L""));
    if (isFolder) {
      const std::vector<std::wstring> below = ListTree(folder, entries.back());
      entries.insert(entries.end(), below.begin(), below.end());
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Where a catalogue folder or row lies below the work folder (or a package folder).
inline std::wstring PayloadFolderPath(int index) {
  const PayloadFolder& folder = PayloadFolders[index - 1];
  if (folder.parent <= 1) return folder.parent == 0 ? L"" : folder.name;
  return PayloadFolderPath(folder.parent) + L"\\" + folder.name;
}
inline std::wstring PayloadRelativePath(const PayloadEntry& row) {
  std::wstring name;
  for (const PayloadName& n : PayloadNames) {
    if (n.id == row.nameId) name = n.text;
  }
  const std::wstring folder = PayloadFolderPath(row.folder);
  return (folder.empty() ? L"" : folder + L"\\") + name;
}

struct LanguageCase {
  const wchar_t* installFailedText;
  const wchar_t* languageSwitch;
  const wchar_t* messageSet;  // as the run log names it
};

// The language this process runs with. Wine takes it from LANG, so a CTest entry that sets LANG
// must really have reached the prefix: a mismatch would make the language cases pass in English.
// On Windows it is the user's own (the Chinese ones only there).
inline LanguageCase UserLanguageCase() {
  wchar_t lang[64] = {};
  GetEnvironmentVariableW(L"LANG", lang, 64);
  if (UnderWine()) EXPECT_EQ(wcsncmp(lang, L"ja_JP", 5) == 0, GetUserDefaultLangID() == 0x0411) << "LANG did not reach Wine";
  switch (GetUserDefaultLangID()) {
    case 0x0411: return {L"インストールに失敗しました。", L"-l0x0411", L"Japanese messages"};
    case 0x0404: return {L"安裝失敗。", L"-l0x0404", L"Traditional Chinese messages"};
    case 0x0804: return {L"安装失败。", L"-l0x0804", L"Simplified Chinese messages"};
    default: return {L"Installation failed.", L"-l0x0409", L"English messages"};
  }
}

// A copy of source with one byte in the middle of RT_RCDATA `id` changed, as a damaged download
// would have it; the digest table is left as it was.
inline bool CopyWithDamagedRcdata(const std::wstring& source, const std::wstring& target, WORD id) {
  std::vector<unsigned char> bytes;
  if (runner::ReadRcdata(source, id, &bytes) != runner::kRunnerOk || bytes.empty()) return false;
  bytes[bytes.size() / 2] ^= 0x01;
  return runner::CopyWithRcdata(source, target, id, &bytes) == runner::kRunnerOk;
}

// The probe installer, or the one PORTIVO_INSTALLER_UNDER_TEST names (the signed build runs the
// install case through it).
inline std::wstring InstallerUnderTest() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"PORTIVO_INSTALLER_UNDER_TEST", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path) : std::wstring(PORTIVO_PROBE_INSTALLER);
}

const wchar_t kKernelServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";
const wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Portivo Installer";

// Records go into a fresh folder; the work folder and the driver's service keys are gone before
// and after.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderWine()) ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog", 0));
    DeleteFolderTree(WorkFolder());
    ASSERT_FALSE(Exists(WorkFolder())) << "a work folder from an earlier run could not be removed";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey) || KeyExists(HKEY_LOCAL_MACHINE, kEmulatorServiceKey))
        << "the prefix has a driver's service key";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
    DeleteFolderTree(WorkFolder());
  }

  std::wstring RecordPath() const { return records_ / L"setup-record.txt"; }
  // Outside the temporary folder, which some cases compare before and after; with a blank.
  static std::wstring LogPath() { return std::wstring(PORTIVO_PROBE_WORK_DIR) + L"\\run log.txt"; }
  static std::wstring LogSwitch() { return L"-log:\"" + LogPath() + L"\""; }
  std::wstring RemovalLogPath() const { return records_ / L"removal-log.txt"; }

  runner::RunOptions Options(const std::wstring& arguments, std::vector<runner::EnvChange> env,
                             const std::wstring& installer) const {
    runner::RunOptions options;
    options.exe_path = installer;
    options.arguments = arguments;
    options.env = std::move(env);
    options.env.push_back(runner::SetEnv(L"PROBE_RECORD", RecordPath()));
    options.env.push_back(runner::SetEnv(L"PROBE_REMOVAL_RECORD", RemovalLogPath()));
    options.timeout_ms = 120000;
    return options;
  }

  // Runs an installer to its end, in the test's current folder, from the records' previous run
  // cleared; boxes are answered after dismissAfterMs. A longer log of an earlier run stands at the
  // log's path, so that every log read back shows it was replaced whole. On another desktop (a
  // window station nobody sees) the runner cannot answer a box, so a run that waits for one fails
  // after 20 s.
  runner::RunReport Run(const std::wstring& arguments, std::vector<runner::EnvChange> env = {},
                        const std::wstring& installer = InstallerUnderTest(), DWORD dismissAfterMs = 300,
                        const std::wstring& desktop = L"") {
    DeleteFileW(RecordPath().c_str());
    DeleteFileW(RemovalLogPath().c_str());
    std::wstring earlier = L"\xFEFF";
    for (int i = 0; i < 200; ++i) earlier += L"2000-01-01 00:00:00.000 a line of an earlier, longer run\r\n";
    EXPECT_TRUE(WriteTestFile(LogPath(), std::string(reinterpret_cast<const char*>(earlier.data()), earlier.size() * 2)));
    runner::RunOptions options = Options(arguments, std::move(env), installer);
    options.dismiss_after_ms = dismissAfterMs;
    options.desktop = desktop;
    if (!desktop.empty()) options.timeout_ms = 20000;
    runner::RunReport report;
    EXPECT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report)) << "the installer did not run to its end";
    return report;
  }

  // The setup probe's record; empty when the setup never ran.
  runner::Fields SetupRecord() const {
    runner::Fields record;
    if (runner::ReadProbeRecord(RecordPath(), &record) != runner::kRunnerOk) record.clear();
    return record;
  }
  std::string Recorded(const std::string& key) const { return runner::ValueOf(SetupRecord(), key); }

  // The run log's lines without their time stamps, each of which must be a local time to the
  // millisecond; the file is UTF-16LE with a byte-order mark and CR LF line ends.
  static std::vector<std::wstring> LogLines() {
    const std::string bytes = ReadTestFile(LogPath());
    std::vector<std::wstring> lines;
    EXPECT_TRUE(bytes.size() % 2 == 0 && bytes.compare(0, 2, "\xFF\xFE") == 0) << "no UTF-16LE log with a byte-order mark";
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    for (std::size_t at = 1, end; at < text.size() && (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
      unsigned short t[7];
      EXPECT_EQ(7, swscanf(text.c_str() + at, L"%4hu-%2hu-%2hu %2hu:%2hu:%2hu.%3hu ", t, t + 1, t + 2, t + 3, t + 4, t + 5, t + 6))
          << "no time stamp: " << Narrow(text.substr(at, end - at));
      lines.push_back(end - at > 24 ? text.substr(at + 24, end - at - 24) : L"");
    }
    return lines;
  }
  static std::string LastLogLine() {
    const std::vector<std::wstring> lines = LogLines();
    return lines.empty() ? "<no log>" : Narrow(lines.back());
  }

  // The clean-up library's and emulator setup's lines, by kind; empty when neither ran.
  std::vector<runner::Fields> RemovalLog() const {
    std::vector<runner::Fields> lines;
    if (runner::ReadProbeLog(RemovalLogPath(), &lines) != runner::kRunnerOk) lines.clear();
    return lines;
  }
  std::vector<std::string> RemovalKinds() const {
    std::vector<std::string> kinds;
    for (const runner::Fields& line : RemovalLog()) kinds.push_back(runner::ValueOf(line, "kind"));
    return kinds;
  }

  ScratchFolder records_;
  // A probe that crashes must end at once, not wait behind Wine's crash dialog. (On Windows the
  // kit's driver turns the error report's box off for every program it starts.)
  SavedValue crashDialog_{HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog"};
};

}  // namespace e2e
