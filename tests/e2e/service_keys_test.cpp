// The driver's service keys around a run, and the other checks a run must pass before it writes
// anything, seen from outside: an installed driver of the other operation mode, an old Windows, a
// bad port pair and a second installer each turn the run away with their exit code and (where the
// mode allows) their box, and leave nothing unpacked or started; the marks a kernel-mode install
// leaves; and a first run held in its setup, around which the others act. Which switches give which
// mode is the unit tests' table.
//
// Not covered here: the administrator check (104). Wine gives every process an administrator's
// token, so a run that fails it cannot be made end to end; the unit tests replace the token calls.
#include <utility>

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
// Deployment tools run the installer as SYSTEM on a window station that is not visible, where a box
// would wait until the tool kills the run; the last rows run on such a station, made here for real.
TEST_F(StartupCheck, RefusedRunsGetTheirCodeAndTheirBox) {
  const std::wstring versionKey = L"Software\\Wine\\AppDefaults\\PortivoInstaller.exe";
  SavedValue savedVersion(HKEY_CURRENT_USER, versionKey, L"Version");
  const HWINSTA own = GetProcessWindowStation(), station = CreateWindowStationW(L"PortivoUnseen", 0, WINSTA_ALL_ACCESS, nullptr);
  USEROBJECTFLAGS flags = {FALSE, FALSE, WSF_VISIBLE};
  ASSERT_TRUE(station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
              !(flags.dwFlags & WSF_VISIBLE)) << "no window station that nobody sees";
  ASSERT_TRUE(SetProcessWindowStation(station));
  const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_TRUE(SetProcessWindowStation(own) && desktop != nullptr);
  const wchar_t* unseen = L"PortivoUnseen\\Default";
  const wchar_t* notShown = L"\" was not shown: this window station is not visible, so nobody could close it";
  // A service key (the emulator's, or the kernel driver's with a "KM" mark of any data), the
  // Windows version, the arguments, what the run must end with, where it runs and what it logs.
  struct Row { const wchar_t* serviceKey; const wchar_t* version; const wchar_t* arguments; DWORD code; const wchar_t* box;
               const wchar_t* desktop; const wchar_t* logged; } rows[] = {
      {kEmulatorServiceKey, nullptr, L"-s1 -KM", 103, kModeConflictText},  // the box even when quiet
      {kKernelServiceKey, nullptr, L"", 103, kModeConflictText},
      {nullptr, L"nt40", L"", 102, kUnsupportedOsText},
      {nullptr, L"win2k", L"-s1", 0, nullptr},
      {kEmulatorServiceKey, nullptr, L"-s1 -KM", 103, nullptr, unseen, notShown},
      {kEmulatorServiceKey, nullptr, L"-u3 -KM", 103, nullptr, unseen, notShown},
      {nullptr, nullptr, L"", 1001, nullptr, unseen, notShown},  // no temporary folder
      {nullptr, nullptr, L"", 0, nullptr, unseen, L"no quiet switch on a window station nobody sees: the setup's own dialog will wait"},
      {nullptr, nullptr, L"-s1", 0, nullptr, unseen, L"exit code 42"},
  };
  std::string wineOnly;
  for (const Row& row : rows) {
    if (row.version != nullptr && !UnderWine()) {
      wineOnly += " " + Narrow(row.version);
      continue;
    }
    const std::string label = Narrow(std::wstring(row.serviceKey ? row.serviceKey : L"") + L" " +
                                     (row.version ? row.version : L"") + L" " + row.arguments + L" " + (row.desktop ? row.desktop : L""));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, versionKey.c_str());
    if (row.serviceKey) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, row.serviceKey, L"KM", 0));
    if (row.version) ASSERT_TRUE(SetText(HKEY_CURRENT_USER, versionKey, L"Version", REG_SZ, row.version));
    std::vector<runner::EnvChange> env = {runner::SetEnv(L"PROBE_POST", L"42")};
    if (row.code == 1001) env.insert(env.end(), {runner::SetEnv(L"TMP", L"C:\\gone"), runner::SetEnv(L"TEMP", L"C:\\gone")});
    runner::RunReport report = Run(std::wstring(row.arguments) + L" " + LogSwitch(), env, InstallerUnderTest(), 300,
                                   row.desktop ? row.desktop : L"");
    if (row.logged != nullptr) {
      bool logged = false;
      for (const std::wstring& line : LogLines()) logged = logged || line.find(row.logged) != std::wstring::npos;
      EXPECT_TRUE(logged) << label << ": not logged: " << Narrow(row.logged);
    }
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
  CloseDesktop(desktop);
  CloseWindowStation(station);
  if (!wineOnly.empty()) GTEST_SKIP() << "the rows of Windows" << wineOnly << " need Wine's Version setting; the others ran";
}

// An installer whose setup shows its dialog, takes the foreground back as soon as it is raised and
// waits for the test's event: what goes on around a run that has not ended yet. Its record is
// written only at its end.
class HeldSetup : public StartupCheck {
 protected:
  void TearDown() override {
    if (release_ != nullptr) SetEvent(release_);
    runner::StopInstaller(&first_);
    for (HANDLE handle : {release_, held_}) {
      if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    StartupCheck::TearDown();
  }
  // Returns once the setup shows its dialog.
  void StartAndHold(const wchar_t* arguments) {
    const std::wstring releaseName = L"portivo-e2e-first-release-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_NE(nullptr, release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(Options(arguments, {runner::SetEnv(L"PROBE_WAIT_EVENT", releaseName),
        runner::SetEnv(L"PROBE_WINDOW_CLASS", L"TSetDialog"), runner::SetEnv(L"PROBE_TAKE_BACK", L"1"),
        runner::SetEnv(L"PROBE_POST", L"7")}, PORTIVO_PROBE_INSTALLER), &first_));
    for (int i = 0; i < 6000 && FindWindowW(L"TSetDialog", nullptr) == nullptr; ++i) Sleep(10);
    ASSERT_NE(nullptr, FindWindowW(L"TSetDialog", nullptr)) << "the first setup never showed its dialog";
  }
  // Opens a payload file as a virus scanner would, without delete sharing, lets the setup post
  // late and end, and returns once it has.
  void ReleaseHoldingAFile() {
    held_ = CreateFileW((WorkFolder() + L"data1.cab").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held_);
    SetEvent(release_);
    for (int i = 0; i < 6000 && !Exists(RecordPath()); ++i) Sleep(10);
  }
  runner::RunningInstaller first_;
  HANDLE release_ = nullptr, held_ = INVALID_HANDLE_VALUE;
};

// A second installer started meanwhile goes without touching the first one's work folder or
// starting anything, its log naming its own cause, and a bad port pair still outranks 101. The
// first one's window is found by its class, as a second instance looks for it; its dialog is
// raised only once; its work folder cannot be renamed away; its kernel-mode marks wait for its
// setup's end; and its deletion waits out a file held for a second after that.
TEST_F(HeldSetup, ASecondInstanceIsTurnedAwayAndTheFirstGoesOnAsIfNothingHadHappened) {
  ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
  StartAndHold(L"-s1 -KM -mode2");
  const std::vector<std::wstring> before = ListTree(WorkFolder());

  struct Row { const wchar_t* arguments; DWORD code; const wchar_t* box; const char* lastLogLine; } rows[] = {
      {L"", 101, kAlreadyRunningText, "exit code 101: another installer is running"},
      {L"-s1 -QX:COM3 -KD:COM3 ", 106, nullptr, "exit code 106: QX and KD name the same port"}};
  for (const Row& row : rows) {
    runner::RunReport report = Run(row.arguments + LogSwitch(), {runner::SetEnv(L"PROBE_POST", L"42")});
    const std::string label = Narrow(row.arguments);
    EXPECT_EQ(row.code, report.exit_code) << label;
    EXPECT_EQ(row.lastLogLine, LastLogLine()) << label;
    ASSERT_EQ(row.box == nullptr ? 0u : 1u, report.boxes.size()) << label;
    if (row.box != nullptr) EXPECT_EQ(row.box, report.boxes[0].text);
    EXPECT_TRUE(SetupRecord().empty()) << label << ": a second setup ran";
    EXPECT_TRUE(ListTree(WorkFolder()) == before) << label << ": the first run's work folder changed";
  }
  DWORD owner = 0;
  GetWindowThreadProcessId(FindWindowW(L"Portivo Installer", nullptr), &owner);
  EXPECT_EQ(first_.report.process_id, owner) << "no window of the installer's class";
  const std::wstring work = WorkFolder().substr(0, WorkFolder().size() - 1), moved = work + L".moved";
  EXPECT_FALSE(MoveFileW(work.c_str(), moved.c_str())) << "the work folder was renamed away";
  MoveFileW(moved.c_str(), work.c_str());
  EXPECT_EQ(runner::kRunnerStillRunning, runner::WatchInstaller(&first_, 0))
      << "the first installer did not wait for its setup";
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM").present) << "marked before the setup ended";

  ReleaseHoldingAFile();
  Sleep(1000);
  CloseHandle(std::exchange(held_, INVALID_HANDLE_VALUE));
  ASSERT_EQ(runner::kRunnerOk, runner::WatchInstaller(&first_, 60000));
  EXPECT_EQ(7u, first_.report.exit_code);
  EXPECT_EQ("TSetDialog|1|0", Recorded("window")) << "not raised exactly once";
  EXPECT_EQ(2u, ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType").AsDword());
  EXPECT_EQ(1u, ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM").AsDword());
  EXPECT_FALSE(Exists(WorkFolder()));
}

// A file still held when the deletion's time is up stays behind; the run ends all the same, with
// the setup's outcome. While the setup waits, its log can be read, as an administrator follows a
// long run.
TEST_F(HeldSetup, AFileHeldPastTheDeletionsBoundStaysAndTheRunEndsAndItsLogCanBeReadMeanwhile) {
  const std::wstring log = records_ / L"held run.log";
  StartAndHold((L"-s1 \"-log:" + log + L"\"").c_str());
  const std::wstring started = L"started, process id ";
  EXPECT_NE(std::string::npos, ReadTestFile(log).find(std::string(reinterpret_cast<const char*>(started.data()), started.size() * 2)))
      << "the log cannot be read while the run goes on";
  ReleaseHoldingAFile();
  EXPECT_EQ(runner::kRunnerOk, runner::WatchInstaller(&first_, kDeleteRetryMs + 7000)) << "still deleting";
  EXPECT_EQ(7u, first_.report.exit_code);
  EXPECT_TRUE(Exists(WorkFolder() + L"data1.cab"));
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
