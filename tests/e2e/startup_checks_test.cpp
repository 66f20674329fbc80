// The checks a run must pass before it writes anything, seen from outside: an installed driver of
// the other operation mode, an old Windows, a second installer and a bad port pair each turn the
// run away with their exit code and (where the mode allows) their box, and leave no unpacked file
// and no started setup behind.
//
// Not covered here: the administrator check (104). Wine gives every process an administrator's
// token, so a run that fails it cannot be made end to end; the unit tests replace the token calls.
#include "e2e_support.h"

namespace e2e {
namespace {

const wchar_t kCaption[] = L"Orvik Portivo Ver.8.70b";
const wchar_t kModeConflictText[] =
    L"Orvik Portivo with different operation mode is installed.\r\n"
    L"First, uninstall the Orvik Portivo with a different operation mode.";
const wchar_t kUnsupportedOsText[] = L"This operating system is not supported.\r\nInstallation canceled.";
const wchar_t kAlreadyRunningText[] = L"This installer is already running.";

// What the setup probe posts in runs that get through; an exit code no check can produce.
const wchar_t kPosted[] = L"42";
const DWORD kPostedCode = 42;

class StartupCheck : public ServiceKeysTest {
 protected:
  // A refused run: its code, its box or none, and nothing unpacked, started or loaded.
  void ExpectRefused(const runner::RunReport& report, DWORD code, const wchar_t* boxText, const std::string& label) {
    EXPECT_EQ(code, report.exit_code) << label;
    if (boxText == nullptr) {
      EXPECT_TRUE(report.boxes.empty()) << label << ": " << runner::DescribeBox(report.boxes[0]);
    } else if (report.boxes.size() != 1) {
      ADD_FAILURE() << label << ": " << report.boxes.size() << " boxes, expected one";
    } else {
      EXPECT_EQ(kCaption, report.boxes[0].caption) << label;
      EXPECT_EQ(boxText, report.boxes[0].text) << label;
    }
    EXPECT_FALSE(Exists(WorkFolder())) << label << ": something was unpacked";
    EXPECT_TRUE(SetupRecord().empty()) << label << ": the setup ran";
    EXPECT_TRUE(RemovalLog().empty()) << label << ": the removal programs ran";
  }

  // A run that got through: the install path's setup ran to its end and its outcome is the exit
  // code, or the removal path's emulator setup ran and the exit code is 0.
  void ExpectPassed(const runner::RunReport& report, bool removal, const std::string& label) {
    EXPECT_TRUE(report.boxes.empty()) << label << ": " << runner::DescribeBox(report.boxes[0]);
    if (removal) {
      EXPECT_EQ(0u, report.exit_code) << label;
      const std::vector<std::string> kinds = KindsOf(RemovalLog());
      EXPECT_TRUE(!kinds.empty() && kinds.back() == "opesetup") << label << ": no emulator setup ran";
    } else {
      EXPECT_EQ(kPostedCode, report.exit_code) << label;
      EXPECT_EQ("1", Recorded("complete")) << label << ": the setup did not run";
    }
    EXPECT_FALSE(Exists(WorkFolder())) << label;
  }

  void ResetRecords() {
    DeleteFileW(RecordPath().c_str());
    DeleteFileW(RemovalLogPath().c_str());
  }
};

// ---- Driver mode -----------------------------------------------------------------------------

enum class KernelMark {
  kNoKey,      // no service key of the kernel-mode driver
  kNoValue,    // the key without "KM"
  kDwordZero,  // "KM" as a 4-byte REG_DWORD holding 0: the data does not matter
  kLongText,   // "KM" as a REG_SZ longer than 4 bytes: cannot be read into 4 bytes, so no mark
};

class DriverModeCheck : public StartupCheck {};

TEST_F(DriverModeCheck, OtherModeInstalledRefusesWithItsBoxInEveryMode) {
  struct Row { bool emulatorService; KernelMark mark; const wchar_t* arguments; bool refused; } rows[] = {
      // The emulator is installed: kernel mode is refused whatever "KM" says, even in the quiet
      // modes, which otherwise show no box; user mode passes even with a kernel-mode mark.
      {true, KernelMark::kNoKey, L"-s1 -KM", true},
      {true, KernelMark::kLongText, L"-u1 -km", true},
      {true, KernelMark::kDwordZero, L"-u3", false},
      // Only the kernel-mode driver is installed: user mode is refused, kernel mode passes.
      {false, KernelMark::kDwordZero, L"", true},
      {false, KernelMark::kDwordZero, L"-s1", true},
      {false, KernelMark::kDwordZero, L"-u3 -km", false},
      {false, KernelMark::kDwordZero, L"-s1 -Km", true},  // "-Km" is no kernel-mode switch
      // No readable mark: nothing is installed as far as the check can tell.
      {false, KernelMark::kLongText, L"-s1", false},
      {false, KernelMark::kNoValue, L"-s1 -KM", false},
  };
  for (const Row& row : rows) {
    static const char* const kMarks[] = {"no key", "key without KM", "KM dword 0", "KM long text"};
    const std::string label = std::string(row.emulatorService ? "emulator, " : "no emulator, ") +
                              kMarks[static_cast<int>(row.mark)] + ", \"" + Narrow(row.arguments) + "\"";
    ResetRecords();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    if (row.emulatorService) ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kEmulatorServiceKey));
    if (row.mark == KernelMark::kNoValue) ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    if (row.mark == KernelMark::kDwordZero) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM", 0));
    if (row.mark == KernelMark::kLongText) {
      ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM", REG_SZ, L"kernel"));
    }
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
    if (row.refused) {
      ExpectRefused(report, 103, kModeConflictText, label);
    } else {
      ExpectPassed(report, std::wstring(row.arguments).find(L"-u3") != std::wstring::npos, label);
    }
  }
}

// ---- Windows version -------------------------------------------------------------------------

// Wine reports the Windows version that HKCU\Software\Wine\AppDefaults\<program>\Version names.
// The driver-mode check comes first: on an old Windows with the other mode installed, the box
// names the mode conflict, not the Windows version.
class WindowsVersionCheck : public StartupCheck {};

TEST_F(WindowsVersionCheck, WindowsBeforeTwoThousandIsRefusedWithABoxOnlyWhenInteractive) {
  const std::wstring key = L"Software\\Wine\\AppDefaults\\PortivoInstaller.exe";
  SavedValue saved(HKEY_CURRENT_USER, key, L"Version");
  struct Row { const wchar_t* version; bool emulator; const wchar_t* arguments; DWORD code; const wchar_t* box; } rows[] = {
      {L"nt40", false, L"", 102, kUnsupportedOsText},
      {L"nt40", false, L"-s1", 102, nullptr},
      {L"nt40", false, L"-u1", 102, nullptr},
      {L"nt40", false, L"-u3", 102, nullptr},
      {L"nt40", true, L"-s1 -KM", 103, kModeConflictText},
      {L"win2k", false, L"", 0, nullptr},
      {L"win2k", false, L"-s1 -KM", 0, nullptr},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(row.version) + " " + Narrow(row.arguments);
    ResetRecords();
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, key, L"Version", REG_SZ, row.version));
    if (row.emulator) ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kEmulatorServiceKey));
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
    if (row.code != 0) {
      ExpectRefused(report, row.code, row.box, label);
    } else {
      ExpectPassed(report, false, label);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
  }
}

// ---- A second installer -----------------------------------------------------------------------

// The first installer is held while its setup waits for an event; a second one started meanwhile
// must go without touching the first one's work folder or starting a setup of its own.
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
  const std::wstring tag = std::to_wstring(GetCurrentProcessId());
  const std::wstring startedName = L"portivo-e2e-first-started-" + tag, releaseName = L"portivo-e2e-first-release-" + tag;
  started_ = CreateEventW(nullptr, TRUE, FALSE, startedName.c_str());
  release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  ASSERT_TRUE(started_ != nullptr && release_ != nullptr);
  const std::wstring firstRecord = records_ / L"first-setup-record.txt";
  runner::RunOptions options;
  options.exe_path = PORTIVO_PROBE_INSTALLER;
  options.arguments = L"-s1";
  options.env = {runner::SetEnv(L"PROBE_RECORD", firstRecord), runner::SetEnv(L"PROBE_STARTED_EVENT", startedName),
                 runner::SetEnv(L"PROBE_WAIT_EVENT", releaseName), runner::SetEnv(L"PROBE_POST", L"7")};
  ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &first_));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started_, 60000)) << "the first setup never started";
  const std::vector<std::wstring> before = ListTree(WorkFolder(), true);
  ASSERT_FALSE(before.empty()) << "the first installer unpacked nothing";

  struct Row { const wchar_t* arguments; DWORD code; const wchar_t* box; } rows[] = {
      {L"", 101, kAlreadyRunningText},
      {L"-s1", 101, nullptr},
      {L"-u3", 101, nullptr},
      // A bad port pair outranks the running installer.
      {L"-s1 -QX:COM3 -KD:COM3", 106, nullptr},
  };
  for (const Row& row : rows) {
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
    const std::string label = Narrow(row.arguments);
    EXPECT_EQ(row.code, report.exit_code) << label;
    if (row.box == nullptr) {
      EXPECT_TRUE(report.boxes.empty()) << label;
    } else {
      ASSERT_EQ(1u, report.boxes.size()) << label;
      EXPECT_EQ(kCaption, report.boxes[0].caption);
      EXPECT_EQ(row.box, report.boxes[0].text);
    }
    EXPECT_TRUE(SetupRecord().empty()) << label << ": a second setup ran";
    EXPECT_TRUE(RemovalLog().empty()) << label << ": the removal programs ran";
    EXPECT_TRUE(ListTree(WorkFolder(), true) == before) << label << ": the first run's work folder changed";
  }
  EXPECT_EQ(runner::kRunnerStillRunning, runner::WatchInstaller(&first_, 0))
      << "the first installer did not wait for its setup";

  // The first one goes on as if nothing had happened.
  SetEvent(release_);
  ASSERT_EQ(runner::kRunnerOk, runner::WatchInstaller(&first_, 60000));
  EXPECT_EQ(7u, first_.report.exit_code);
  EXPECT_TRUE(first_.report.boxes.empty());
  runner::Fields first;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(firstRecord, &first));
  EXPECT_EQ("signalled", runner::ValueOf(first, "wait"));
  EXPECT_EQ("1", runner::ValueOf(first, "complete"));
  EXPECT_FALSE(Exists(WorkFolder()));

  // And once it has ended, the next installer runs.
  runner::RunReport after = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", kPosted)});
  ExpectPassed(after, false, "after the first ended");
}

// ---- Requested ports ----------------------------------------------------------------------------

class PortCheck : public StartupCheck {};

TEST_F(PortCheck, BadPairInAQuietInstallIsRefusedWithoutABox) {
  struct Row { const wchar_t* arguments; DWORD code; /* 0: the run goes on */ } rows[] = {
      {L"-s1 -QX:COM3 -KD:COM3", 106},
      {L"-s1 -QX:LPT1 -KD:LPT1", 106},
      {L"-s1 -KD:COM4", 107},
      {L"-s1 -QX:COM3 -KD:LPT1", 0},  // COM3 and LPT1 are different ports
      {L"-s1 -QX:COM3", 0},
      {L"-u1 -QX:COM3 -KD:COM3", 0},  // ports are read in a quiet install only
      {L"-QX:COM3 -KD:COM3", 0},
  };
  for (const Row& row : rows) {
    ResetRecords();
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
    const std::string label = Narrow(row.arguments);
    if (row.code != 0) {
      ExpectRefused(report, row.code, nullptr, label);
    } else {
      ExpectPassed(report, false, label);
    }
  }
}

}  // namespace
}  // namespace e2e
