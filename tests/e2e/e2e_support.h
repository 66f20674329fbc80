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
#include "payload/delete_tree.h"
#include "payload/digest.h"
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

// ---- Registry ----------------------------------------------------------------------------------

const wchar_t kKernelServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";

// ---- Folders -----------------------------------------------------------------------------------

// Everything below folder (dot names included), sorted: "sub\name" for a file, "sub\name\" for a
// folder; with stamps, each entry also with its size and last-write time.
inline std::vector<std::wstring> ListTree(std::wstring folder, bool stamps = false, const std::wstring& prefix = L"") {
  std::vector<std::wstring> entries;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::wstring path = prefix + name + (isFolder ? L"\\" : L"");
    const FILETIME& t = data.ftLastWriteTime;
    entries.push_back(stamps ? path + L" " + std::to_wstring(data.nFileSizeLow) + L" " +
                                   std::to_wstring(t.dwHighDateTime) + L":" + std::to_wstring(t.dwLowDateTime)
                             : path);
    if (isFolder) {
      const std::vector<std::wstring> below = ListTree(folder, stamps, path);
      entries.insert(entries.end(), below.begin(), below.end());
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(entries.begin(), entries.end());
  return entries;
}

// ---- The payload catalogue and the user's language ----------------------------------------------

// Where a row's file lies below the WorkFolder (or a package folder), '\'-separated.
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
  LANGID id;
  const wchar_t* installFailedText;
  const wchar_t* languageSwitch;
};

// The language this process runs with. Wine takes it from LANG, so a CTest entry that sets LANG
// must really have reached the prefix: a mismatch would make the language cases pass in English.
inline LanguageCase UserLanguageCase() {
  static const LanguageCase cases[] = {
      {0x0411, L"インストールに失敗しました。", L"-l0x0411"},
      {0x0404, L"安裝失敗。", L"-l0x0404"},
      {0x0804, L"安装失败。", L"-l0x0804"},
  };
  const LANGID id = GetUserDefaultLangID();
  wchar_t lang[64] = {};
  GetEnvironmentVariableW(L"LANG", lang, 64);
  struct Expected { const wchar_t* prefix; LANGID id; } expected[] = {
      {L"ja_JP", 0x0411}, {L"zh_TW", 0x0404}, {L"zh_CN", 0x0804}, {L"zh_HK", 0x0C04}};
  for (const Expected& e : expected) {
    if (wcsncmp(lang, e.prefix, wcslen(e.prefix)) == 0) {
      EXPECT_EQ(e.id, id) << "LANG did not reach Wine";
    }
  }
  for (const LanguageCase& c : cases) {
    if (c.id == id) return c;
  }
  return LanguageCase{id, L"Installation failed.", L"-l0x0409"};
}

inline std::vector<std::string> KindsOf(const std::vector<runner::Fields>& lines) {
  std::vector<std::string> kinds;
  for (const runner::Fields& line : lines) kinds.push_back(runner::ValueOf(line, "kind"));
  return kinds;
}

// ---- Variant installers -------------------------------------------------------------------------

// A copy of source with RT_RCDATA `id` set to *bytes and its digest row made to match, so that the
// copy is not refused as damaged: an installer built around a different file.
inline bool CopyWithRcdataAndDigest(const std::wstring& source, const std::wstring& target, WORD id,
                                    const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> table;
  if (runner::ReadRcdata(source, kDigestTableId, &table) != runner::kRunnerOk) return false;
  CrcTables tables;
  FillCrcTables(tables);
  for (std::size_t at = 0; at + kDigestRowBytes <= table.size(); at += kDigestRowBytes) {
    if (table[at] != (id & 0xFF) || table[at + 1] != (id >> 8)) continue;
    const std::uint32_t words[2] = {static_cast<std::uint32_t>(bytes.size()), Crc32(tables, bytes.data(), bytes.size())};
    for (int w = 0; w < 2; ++w) {
      for (int b = 0; b < 4; ++b) table[at + 4 + 4 * w + b] = static_cast<unsigned char>(words[w] >> (8 * b));
    }
  }
  const std::wstring step = target + L".step.exe";
  const bool copied = runner::CopyWithRcdata(source, step, id, &bytes) == runner::kRunnerOk &&
                      runner::CopyWithRcdata(step, target, kDigestTableId, &table) == runner::kRunnerOk;
  DeleteFileW(step.c_str());
  return copied;
}

// A copy of source with one byte in the middle of RT_RCDATA `id` changed where it lies in the file,
// as a damaged download would have it; the digest table is left as it was.
inline bool CopyWithDamagedRcdata(const std::wstring& source, const std::wstring& target, WORD id) {
  std::vector<unsigned char> file, bytes;
  if (runner::ReadWholeFile(source, &file) != runner::kRunnerOk ||
      runner::ReadRcdata(source, id, &bytes) != runner::kRunnerOk || bytes.empty()) {
    return false;
  }
  const auto at = std::search(file.begin(), file.end(), bytes.begin(), bytes.end());
  if (at == file.end()) return false;
  at[bytes.size() / 2] ^= 0x01;
  HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  const bool ok = out != INVALID_HANDLE_VALUE &&
                  WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
                  written == file.size();
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  return ok;
}

// ---- Fixtures ----------------------------------------------------------------------------------

// The probe installer, or the one PORTIVO_INSTALLER_UNDER_TEST names (the signed build runs the
// install cases through it).
inline std::wstring InstallerUnderTest() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"PORTIVO_INSTALLER_UNDER_TEST", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path) : std::wstring(PORTIVO_PROBE_INSTALLER);
}

// Records go into a fresh folder, and the work folder is gone before and after.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFolderTree(WorkFolder().c_str());
    ASSERT_FALSE(Exists(WorkFolder())) << "a work folder from an earlier run could not be removed";
  }
  void TearDown() override { DeleteFolderTree(WorkFolder().c_str()); }

  std::wstring RecordPath() const { return records_ / L"setup-record.txt"; }
  std::wstring RemovalLogPath() const { return records_ / L"removal-log.txt"; }

  // Runs an installer with arguments and probe controls; boxes are answered after dismissAfterMs.
  // An empty currentFolder leaves the installer in the test's own.
  runner::RunReport Run(const std::wstring& arguments, std::vector<runner::EnvChange> env = {},
                        DWORD dismissAfterMs = 300, const std::wstring& installer = InstallerUnderTest(),
                        const std::wstring& currentFolder = L"") {
    runner::RunOptions options;
    options.exe_path = installer;
    options.arguments = arguments;
    options.current_folder = currentFolder;
    options.env = std::move(env);
    options.env.push_back(runner::SetEnv(L"PROBE_RECORD", RecordPath()));
    options.env.push_back(runner::SetEnv(L"PROBE_REMOVAL_RECORD", RemovalLogPath()));
    options.dismiss_after_ms = dismissAfterMs;
    options.timeout_ms = 120000;
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

  // The removal log of the clean-up library and emulator setup probes; no lines when neither ran.
  std::vector<runner::Fields> RemovalLog() const {
    std::vector<runner::Fields> lines;
    if (runner::ReadProbeLog(RemovalLogPath(), &lines) != runner::kRunnerOk) lines.clear();
    return lines;
  }

  ScratchFolder records_;
};

// The driver's service keys are absent when a case starts (the unit tests need that too), and
// each case leaves them absent again.
class ServiceKeysTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey)) << "the prefix has the kernel-mode service key";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEmulatorServiceKey)) << "the prefix has the emulator service key";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEmulatorServiceKey));
    InstallerTest::TearDown();
  }
};

}  // namespace e2e
