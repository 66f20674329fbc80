// The driver's service keys around a run, and the other checks a run must pass before it writes
// anything, seen from outside: an installed driver of the other operation mode, an old Windows, a
// bad port pair and a second installer each turn the run away with their exit code and (where the
// mode allows) their box, and leave nothing unpacked or started; and the marks a kernel-mode
// install leaves. Which switches give which mode is the unit tests' table.
//
// Not covered here: the administrator check (104). Wine gives every process an administrator's
// token, so a run that fails it cannot be made end to end; the unit tests replace the token calls.
#include "e2e_support.h"

#include <sddl.h>

namespace e2e {
namespace {

const wchar_t kCaption[] = L"Orvik Portivo Ver.8.70b";
const wchar_t kModeConflictText[] =
    L"Orvik Portivo with different operation mode is installed.\r\n"
    L"First, uninstall the Orvik Portivo with a different operation mode.";
const wchar_t kUnsupportedOsText[] = L"This operating system is not supported.\r\nInstallation canceled.";
const wchar_t kAlreadyRunningText[] = L"This installer is already running.";

using StartupCheck = InstallerTest;

// Wine reports the Windows version that HKCU\Software\Wine\AppDefaults\<program>\Version names.
TEST_F(StartupCheck, RefusedRunsGetTheirCodeAndTheirBox) {
  const std::wstring versionKey = L"Software\\Wine\\AppDefaults\\PortivoInstaller.exe";
  SavedValue savedVersion(HKEY_CURRENT_USER, versionKey, L"Version");
  // A service key (the emulator's, or the kernel driver's with a "KM" mark of any data), the
  // Windows version, the arguments, and what the run must end with.
  struct Row { const wchar_t* serviceKey; const wchar_t* version; const wchar_t* arguments; DWORD code; const wchar_t* box; } rows[] = {
      {kEmulatorServiceKey, nullptr, L"-s1 -KM", 103, kModeConflictText},  // the box even when quiet
      {kKernelServiceKey, nullptr, L"", 103, kModeConflictText},
      {nullptr, L"nt40", L"", 102, kUnsupportedOsText},
      {nullptr, L"win2k", L"-s1", 0, nullptr},
      {nullptr, nullptr, L"-s1 -QX:COM3 -KD:COM3", 106, nullptr},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(std::wstring(row.serviceKey ? row.serviceKey : L"") + L" " +
                                     (row.version ? row.version : L"") + L" " + row.arguments);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, versionKey.c_str());
    if (row.serviceKey) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, row.serviceKey, L"KM", 0));
    if (row.version) ASSERT_TRUE(SetText(HKEY_CURRENT_USER, versionKey, L"Version", REG_SZ, row.version));
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"42")});
    if (row.code == 0) {
      EXPECT_EQ(42u, report.exit_code) << label;
      EXPECT_EQ("1", Recorded("complete")) << label << ": the setup did not run";
      continue;
    }
    // Refused: its code, its box or none, and nothing unpacked, started or loaded.
    EXPECT_EQ(row.code, report.exit_code) << label;
    ASSERT_EQ(row.box == nullptr ? 0u : 1u, report.boxes.size()) << label;
    if (row.box != nullptr) {
      EXPECT_EQ(kCaption, report.boxes[0].caption) << label;
      EXPECT_EQ(row.box, report.boxes[0].text) << label;
    }
    EXPECT_FALSE(Exists(WorkFolder())) << label << ": something was unpacked";
    EXPECT_TRUE(SetupRecord().empty()) << label << ": the setup ran";
    EXPECT_TRUE(RemovalLog().empty()) << label << ": the removal programs ran";
  }
}

// The first installer is held while its setup waits for an event: a second one started meanwhile
// goes without touching the first one's work folder or starting anything, and the first one's
// kernel-mode marks are not written before its setup has ended.
class SecondInstance : public StartupCheck {
 protected:
  void TearDown() override {
    if (release_ != nullptr) SetEvent(release_);
    runner::StopInstaller(&first_);
    if (started_ != nullptr) CloseHandle(started_);
    if (release_ != nullptr) CloseHandle(release_);
    StartupCheck::TearDown();
  }
  runner::RunningInstaller first_;
  HANDLE started_ = nullptr;
  HANDLE release_ = nullptr;
};

TEST_F(SecondInstance, IsTurnedAwayWhileTheFirstWaitsForItsSetup) {
  ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
  const std::wstring tag = std::to_wstring(GetCurrentProcessId());
  const std::wstring startedName = L"portivo-e2e-first-started-" + tag, releaseName = L"portivo-e2e-first-release-" + tag;
  started_ = CreateEventW(nullptr, TRUE, FALSE, startedName.c_str());
  release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  ASSERT_TRUE(started_ != nullptr && release_ != nullptr);
  runner::RunOptions options = Options(L"-s1 -KM -mode2", {runner::SetEnv(L"PROBE_STARTED_EVENT", startedName),
      runner::SetEnv(L"PROBE_WAIT_EVENT", releaseName), runner::SetEnv(L"PROBE_POST", L"7")}, PORTIVO_PROBE_INSTALLER);
  const std::wstring firstRecord = records_ / L"first-setup-record.txt";
  options.env.push_back(runner::SetEnv(L"PROBE_RECORD", firstRecord));
  ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &first_));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started_, 60000)) << "the first setup never started";
  const std::vector<std::wstring> before = ListTree(WorkFolder());
  ASSERT_FALSE(before.empty()) << "the first installer unpacked nothing";

  struct Row { const wchar_t* arguments; const wchar_t* box; } rows[] = {{L"", kAlreadyRunningText}, {L"-u3", nullptr}};
  for (const Row& row : rows) {
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"42")});
    const std::string label = Narrow(row.arguments);
    EXPECT_EQ(101u, report.exit_code) << label;
    ASSERT_EQ(row.box == nullptr ? 0u : 1u, report.boxes.size()) << label;
    if (row.box != nullptr) EXPECT_EQ(row.box, report.boxes[0].text);
    EXPECT_TRUE(SetupRecord().empty()) << label << ": a second setup ran";
    EXPECT_TRUE(RemovalLog().empty()) << label << ": the removal programs ran";
    EXPECT_TRUE(ListTree(WorkFolder()) == before) << label << ": the first run's work folder changed";
  }
  EXPECT_EQ(runner::kRunnerStillRunning, runner::WatchInstaller(&first_, 0))
      << "the first installer did not wait for its setup";
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM").present) << "marked before the setup ended";

  // The first one goes on as if nothing had happened.
  SetEvent(release_);
  ASSERT_EQ(runner::kRunnerOk, runner::WatchInstaller(&first_, 60000));
  EXPECT_EQ(7u, first_.report.exit_code);
  EXPECT_TRUE(first_.report.boxes.empty());
  EXPECT_EQ(2u, ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType").AsDword());
  EXPECT_EQ(1u, ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM").AsDword());
  EXPECT_FALSE(Exists(WorkFolder()));
}

// The kernel-mode marks seen in the registry after a run: an install run started with "-KM" stores
// "KM" = 1 and, with "-mode", "CustomerType" in the driver's service key, after a failed setup too;
// a missing service key is not made, a key that refuses the marks fails the run, and the removal
// run writes none. (That they come only once the setup has ended, with "-mode2" read, is shown by
// the second-instance case, which holds a setup running.)
using KernelModeMarks = InstallerTest;

// Everyone may only read the key, as where a policy locked it down; its owner can still undo that.
bool LockKernelServiceKey(bool locked) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                        locked ? L"D:P(A;;KR;;;WD)" : L"D:(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr) &&
                    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
  LocalFree(descriptor);
  RegCloseKey(key);
  return done;
}

TEST_F(KernelModeMarks, AreWrittenAfterTheSetupAsTheCommandLineAsks) {
  struct Row {
    const wchar_t* arguments;
    bool key;           // the service key exists, with an earlier "CustomerType" of 7
    bool locked;        // and only reading it is allowed
    const wchar_t* setupExit;
    DWORD exitCode;
    DWORD customerType;  // afterwards; 0: absent
    bool kernelMode;     // "KM" = 1 afterwards
  } rows[] = {
      {L"-s1 -KM", true, false, L"2", 1001, 7, true},  // a failed setup; the earlier type stays
      {L"-s1 -KM -mode 3", false, false, L"0", 9, 0, false},
      {L"-s1 -KM -mode 4", true, true, L"0", 1001, 7, false},
      {L"-u3 -KM -mode2", true, false, L"0", 0, 7, false},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(row.arguments);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    if (row.key) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType", 7));
    if (row.locked) ASSERT_TRUE(LockKernelServiceKey(true));
    runner::RunReport report =
        Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"9"), runner::SetEnv(L"PROBE_EXIT", row.setupExit)});
    if (row.locked) EXPECT_TRUE(LockKernelServiceKey(false)) << label;
    EXPECT_EQ(row.exitCode, report.exit_code) << label;
    EXPECT_TRUE(report.boxes.empty()) << label;
    EXPECT_FALSE(Exists(WorkFolder())) << label;
    EXPECT_EQ(row.key, KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey)) << label;
    const RegValue customerType = ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType");
    const RegValue kernelMode = ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM");
    EXPECT_EQ(row.customerType, customerType.AsDword()) << label;
    EXPECT_EQ(row.kernelMode, kernelMode.present) << label;
    if (kernelMode.present) {
      EXPECT_EQ(static_cast<DWORD>(REG_DWORD), kernelMode.type) << label;
      EXPECT_EQ(1u, kernelMode.AsDword()) << label;
    }
  }
}

}  // namespace
}  // namespace e2e
