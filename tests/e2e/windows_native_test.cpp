// What only Windows itself shows, for the Windows test kit; under Wine each case is skipped with
// the reason. Links made by mklink at and in the work folder and on the log's way, one swapped in
// while a run writes its log; a process of the same person that is not elevated against the work
// folder and an extracted package; runs as SYSTEM in session 0, as deployment tools start the
// installer. (Under Wine, prepared_work_folder.sh plants the links from the Unix side.)
#include "e2e_support.h"
#include "run_as.h"

namespace e2e {
namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// What the links point to, compared before and after by names and bytes.
class Outside {
 public:
  Outside() {
    CreateDirectoryW(Folder().c_str(), nullptr);
    WriteTestFile(Folder() + L"\\precious.txt", "keep me");
    WriteTestFile(Victim(), std::string(4096, 'v'));
    before_ = State();
  }
  std::wstring Folder() const { return scratch_ / L"folder"; }
  std::wstring Victim() const { return scratch_ / L"victim.bin"; }
  bool Unchanged() const { return State() == before_; }

 private:
  std::string State() const {
    std::string state;
    for (const std::wstring& entry : ListTree(scratch_.path())) state += Narrow(entry) + ReadTestFile(scratch_ / entry);
    return state;
  }
  ScratchFolder scratch_;
  std::string before_;
};

class NativeWindows : public InstallerTest {
 protected:
  explicit NativeWindows(const char* wineLacks) : wineLacks_(wineLacks) {}
  void SetUp() override {
    if (UnderWine()) GTEST_SKIP() << "Windows only: " << wineLacks_;
    ran_ = true;
    InstallerTest::SetUp();
  }
  void TearDown() override {
    if (!ran_) return;
    if (release_ != nullptr) SetEvent(release_);
    runner::StopInstaller(&held_);
    runner::EndAsSystem(&system_);
    for (HANDLE handle : {release_, started_, token_}) {
      if (handle != nullptr) CloseHandle(handle);
    }
    InstallerTest::TearDown();
  }
  // The probe setup waits for release_ before it posts, and sets started_ as soon as it runs.
  std::vector<runner::EnvChange> Holding(const wchar_t* post) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    release_ = runner::CreateGlobalEvent(L"portivo-test-release-" + tag);
    started_ = runner::CreateGlobalEvent(L"portivo-test-started-" + tag);
    EXPECT_TRUE(release_ != nullptr && started_ != nullptr) << "error " << GetLastError();
    return {runner::SetEnv(L"PROBE_WAIT_EVENT", L"Global\\portivo-test-release-" + tag),
            runner::SetEnv(L"PROBE_STARTED_EVENT", L"Global\\portivo-test-started-" + tag), runner::SetEnv(L"PROBE_POST", post)};
  }
  // An install in the person's session, held in its setup until ReleaseAndWait.
  void StartAndHold(const std::wstring& arguments) {
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(Options(arguments, Holding(L"7"), PORTIVO_PROBE_INSTALLER), &held_));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started_, 60000)) << "the setup never ran";
  }
  DWORD ReleaseAndWait() {
    SetEvent(release_);
    EXPECT_EQ(runner::kRunnerOk, runner::WatchInstaller(&held_, 60000)) << "the held run did not end";
    return held_.report.exit_code;
  }

  const char* wineLacks_;
  bool ran_ = false;
  HANDLE release_ = nullptr, started_ = nullptr, token_ = nullptr;
  runner::RunningInstaller held_;
  runner::SystemRun system_;
};

class NativeLinks : public NativeWindows {
 protected:
  NativeLinks() : NativeWindows("links made by mklink; Wine follows a junction that Windows opens as itself") {}
  static DWORD Mklink(const std::wstring& kind, const std::wstring& link, const std::wstring& target) {
    return runner::RunHidden(runner::CmdCommandLine(L"mklink " + kind + L" " + Quoted(link) + L" " + Quoted(target)));
  }
};

// A junction and a hard link in the work folder, at the log's path or above it, at the work
// folder's or an extraction folder's name or above the folders it makes on its way: nothing is
// written through one, and a link at the name or on an extraction's way refuses the run.
TEST_F(NativeLinks, MklinksAtAndInTheWorkFolderAndOnTheLogsWayAreNeverFollowed) {
  Outside outside;
  ScratchFolder logs;
  const std::wstring work = WorkFolder(), name = work.substr(0, work.size() - 1), log = L"-s1 \"-log:" + logs / L"run.log\"";
  struct Row { const char* label; std::vector<std::vector<std::wstring>> links; std::wstring arguments; DWORD code; } rows[] = {
      {"links in the work folder", {{L"/J", work + L"qxusb", outside.Folder()}, {L"/H", work + L"data1.cab", outside.Victim()}},
       L"-s1", 8},
      {"a hard link at the log's path", {{L"/H", logs / L"run.log", outside.Victim()}}, log, 8},
      {"a junction at the log's path", {{L"/J", logs / L"run.log", outside.Folder()}}, log, 8},
      {"a junction above the log", {{L"/J", logs / L"above", outside.Folder()}}, L"-s1 \"-log:" + logs / L"above\\run.log\"", 8},
      {"a junction at the work folder's name", {{L"/J", name, outside.Folder()}}, L"-s1", 1001},
      {"a junction at an extraction folder's name", {{L"/J", logs / L"package", outside.Folder()}},
       L"\"-extract:" + logs / L"package\"", 1001},
      {"a junction above the folders an extraction makes", {{L"/J", logs / L"over", outside.Folder()}},
       L"\"-extract:" + logs / L"over\\new\\package\"", 1001},
  };
  for (const Row& row : rows) {
    if (row.links[0][1].compare(0, work.size(), work) == 0) ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    for (const std::vector<std::wstring>& link : row.links) ASSERT_EQ(0u, Mklink(link[0], link[1], link[2])) << row.label;
    const runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"8")});
    EXPECT_EQ(row.code, report.exit_code) << row.label;
    EXPECT_EQ(row.code == 8 ? "1" : "", Recorded("complete")) << row.label;
    EXPECT_TRUE(report.boxes.empty()) << row.label;
    EXPECT_TRUE(outside.Unchanged()) << row.label << ": something behind the links changed";
    for (const std::vector<std::wstring>& link : row.links) {
      if (!RemoveDirectoryW(link[1].c_str())) DeleteFileW(link[1].c_str());
    }
    DeleteFolderTree(work);
  }
  // The work folder moved aside with a junction in it stays, as a folder that holds a link does.
  runner::RunHidden(runner::CmdCommandLine(L"for /d %d in (" + Quoted(name + L".*") + L") do rd /s /q \"%d\""));
}

// While a run writes its log, the folder above it is renamed and a junction put in its place:
// Windows refuses to rename a folder with an open file below it, or the run writes on through the
// handle it holds. Either way nothing reaches what the junction points to, and the log ends.
TEST_F(NativeLinks, AJunctionSwappedInAboveTheLogDuringTheRunChangesNothing) {
  Outside outside;
  ScratchFolder logs;
  const std::wstring above = logs / L"above", moved = logs / L"moved";
  ASSERT_TRUE(CreateDirectoryW(above.c_str(), nullptr));
  StartAndHold(L"-s1 \"-log:" + above + L"\\run.log\"");
  const bool swapped = MoveFileW(above.c_str(), moved.c_str()) && Mklink(L"/J", above, outside.Folder()) == 0;
  EXPECT_EQ(7u, ReleaseAndWait());
  const std::string bytes = ReadTestFile((swapped ? moved : above) + L"\\run.log");
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  EXPECT_NE(std::wstring::npos, text.find(L"exit code 7: the outcome the setup posted")) << "swapped: " << swapped;
  EXPECT_TRUE(outside.Unchanged()) << "something behind the junction changed";
  if (swapped) RemoveDirectoryW(above.c_str());
}

class NotElevated : public NativeWindows {
 protected:
  NotElevated() : NativeWindows("Wine keeps no descriptors and gives every process an administrator's token") {}
};

// The person's process that is not elevated (administrators for denying only, medium integrity)
// tries to plant a library in, and to change a file of, the work folder of a run held in its setup
// and an extracted package: each is refused and changes nothing, while it may write into a folder
// of its own and read the package.
TEST_F(NotElevated, CannotWriteIntoTheWorkFolderOrAnExtractedPackage) {
  ASSERT_NE(nullptr, token_ = runner::CreateNotElevatedToken()) << "error " << GetLastError();
  ScratchFolder own;
  const std::wstring package = own / L"package";
  ASSERT_EQ(0u, Run(L"\"-extract:" + package + L"\"").exit_code);
  StartAndHold(L"-s1");
  // The command, with @ for the quoted path; whether it may succeed.
  struct Row { const wchar_t* command; std::wstring path; bool allowed; } rows[] = {
      {L"type nul > @", own / L"mine.txt", true},
      {L"type @ > nul", package + L"\\setup.exe", true},
      {L"type nul > @", WorkFolder() + L"version.dll", false},
      {L">> @ echo changed", WorkFolder() + L"data1.cab", false},
      {L"type nul > @", package + L"\\version.dll", false},
      {L">> @ echo changed", package + L"\\setup.exe", false},
  };
  for (const Row& row : rows) {
    std::wstring command = row.command;
    command.replace(command.find(L'@'), 1, Quoted(row.path));
    const std::string before = ReadTestFile(row.path);
    EXPECT_EQ(row.allowed, runner::RunHidden(runner::CmdCommandLine(command), token_) == 0) << Narrow(command);
    if (!row.allowed) EXPECT_EQ(before, ReadTestFile(row.path)) << Narrow(command) << ": changed";
  }
  EXPECT_EQ(7u, ReleaseAndWait());
}

class AsSystem : public NativeWindows {
 protected:
  AsSystem() : NativeWindows("Wine has no SYSTEM account, session 0 or task scheduler") {}
  DWORD ExitCodeAsSystem() {
    DWORD code = 0xFFFFFFFF;
    EXPECT_EQ(runner::kRunnerOk, runner::WaitAsSystem(system_, 60000, &code)) << "the run as SYSTEM did not end";
    return code;
  }
};

// Refused for a driver of the other mode, a quiet run as SYSTEM shows no box on the station of
// session 0 that nobody sees, where a box would wait until the tool ends the run: it ends in
// seconds, and its log says which box it did not show.
TEST_F(AsSystem, AQuietRefusalEndsInSecondsWithoutABox) {
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kEmulatorServiceKey, L"KM", 0));
  DeleteFileW(LogPath().c_str());
  ASSERT_EQ(runner::kRunnerOk, runner::StartAsSystem(PORTIVO_PROBE_INSTALLER, L"-s1 -KM " + LogSwitch(), {}, records_.path(), &system_));
  EXPECT_EQ(103u, ExitCodeAsSystem());
  EXPECT_LT(GetTickCount() - system_.start_tick, 20000u) << "the run did not end in seconds";
  bool notShown = false;
  for (const std::wstring& line : LogLines()) notShown = notShown || line.find(L"not visible") != std::wstring::npos;
  EXPECT_TRUE(notShown) << "no line says why no box was shown; the last: " << LastLogLine();
}

// A quiet install as SYSTEM, held in its setup: the machine-wide lock turns a run in the person's
// session away meanwhile; the work folder was under SystemTemp where Windows has GetTempPath2W,
// and below the Windows folder (SYSTEM's temporary folder) elsewhere.
TEST_F(AsSystem, ItsWorkFolderIsSystemsOwnAndItsLockTurnsTheSessionsRunAway) {
  std::vector<runner::EnvChange> env = Holding(L"5");
  env.push_back(runner::SetEnv(L"PROBE_RECORD", records_ / L"system.txt"));
  ASSERT_EQ(runner::kRunnerOk, runner::StartAsSystem(PORTIVO_PROBE_INSTALLER, L"-s1", env, records_.path(), &system_));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started_, 60000)) << "the setup never ran as SYSTEM";
  const runner::RunReport report = Run(L"-s1 " + LogSwitch(), {runner::SetEnv(L"PROBE_POST", L"42")});
  EXPECT_EQ(101u, report.exit_code);
  EXPECT_EQ("exit code 101: another installer is running", LastLogLine());
  EXPECT_TRUE(SetupRecord().empty()) << "the person's setup ran";
  SetEvent(release_);
  EXPECT_EQ(5u, ExitCodeAsSystem());
  runner::Fields record;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(records_ / L"system.txt", &record));
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const bool temp2 = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W") != nullptr;
  const std::wstring base = std::wstring(windows) + (temp2 ? L"\\SystemTemp\\" : L"\\") + kWorkFolderName;
  const std::wstring setup = runner::WideFromUtf8(runner::ValueOf(record, "module_path"));
  EXPECT_EQ(0, _wcsnicmp(setup.c_str(), base.c_str(), temp2 ? base.size() : wcslen(windows) + 1))
      << Narrow(setup) << " is not below " << Narrow(base);
}

}  // namespace
}  // namespace e2e
