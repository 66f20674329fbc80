// The install path on disk: every file of the install set reaches the setup byte for byte, a
// leftover work folder is reused and removed, and temporary folders that are long or hold blanks
// neither break the run nor start the wrong program.
#include <cstdlib>
#include <map>
#include <set>

#include "e2e_support.h"

namespace e2e {
namespace {

typedef std::map<std::string, std::string> Tree;  // path below the WorkFolder -> "size|crc32"

class InstallPath : public InstallerTest {
 protected:
  // Every install-set file of the probe package.
  static Tree PackageFiles() {
    Tree files;
    for (const PayloadEntry& row : InstallSet) {
      const std::wstring relative = PayloadRelativePath(row);
      std::vector<unsigned char> bytes;
      EXPECT_EQ(runner::kRunnerOk,
                runner::ReadWholeFile(std::wstring(PORTIVO_PROBE_PACKAGE_DIR) + L"\\" + relative, &bytes));
      files[Narrow(relative)] = std::to_string(bytes.size()) + "|" + runner::Crc32Hex(bytes);
    }
    return files;
  }
  // What the setup found, without PORTS.dat.
  Tree RecordedTree() const {
    Tree files;
    for (const runner::RecordedFile& file : runner::RecordedFiles(SetupRecord())) {
      files[file.path] = std::to_string(file.size) + "|" + file.crc32;
    }
    EXPECT_EQ(1u, files.erase("PORTS.dat")) << "the setup found no PORTS.dat";
    return files;
  }
};

TEST_F(InstallPath, EveryFileArrivesByteExactAndTheWorkFolderGoesAfterwards) {
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
  const Tree expected = PackageFiles();
  ASSERT_EQ(kInstallCount, expected.size()) << "two rows share one path";
  EXPECT_EQ(expected, RecordedTree());
  std::set<std::string> folders;
  for (std::size_t i = 2; i <= kFolderCount; ++i) folders.insert(Narrow(PayloadFolderPath(static_cast<int>(i))));
  const std::vector<std::string> seen = runner::ValuesOf(SetupRecord(), "folder");
  EXPECT_EQ(folders, std::set<std::string>(seen.begin(), seen.end()));
  EXPECT_FALSE(Exists(WorkFolder()));
}

// Whatever stands at the work folder's name was made by somebody else: stale files, read-only
// entries, a cabinet of the wrong size and a DLL that the setup would load from its own folder.
// The setup sees the payload alone, and nothing of the old folder stays.
TEST_F(InstallPath, PreparedWorkFolderNeverReachesTheSetup) {
  const std::wstring work = WorkFolder();
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((work + L"old").c_str(), nullptr));
  for (const wchar_t* name : {L"stale.txt", L"data1.cab", L"version.dll", L"readonly.txt", L"old\\inside.txt"}) {
    ASSERT_TRUE(WriteTestFile(work + name, "left by an earlier run\n"));
  }
  ASSERT_TRUE(SetFileAttributesW((work + L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((work + L"old").c_str(), FILE_ATTRIBUTE_READONLY));

  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
  EXPECT_EQ(PackageFiles(), RecordedTree());
  EXPECT_FALSE(Exists(work));
  EXPECT_EQ(std::vector<std::wstring>{}, ListTree(TempFolder(), false, L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}."))
      << "the old folder was moved aside and kept";
}

// Links planted at and in the work folder's name. Wine cannot make them, so
// prepared_work_folder.sh makes them on the Unix side, names the case in PORTIVO_PREPARED, and
// checks afterwards that nothing behind them changed.
class PreparedWorkFolder : public InstallPath {
 protected:
  void SetUp() override {
    const char* prepared = std::getenv("PORTIVO_PREPARED");
    if (prepared == nullptr) GTEST_SKIP() << "runs from prepared_work_folder.sh";
  }
  void TearDown() override {}
};

// A folder link at a sub-folder's name and a hard link at a payload file's name: the folder is
// moved aside with them, and the setup gets a new folder of the payload alone.
TEST_F(PreparedWorkFolder, LinksInsideAreNeverFollowed) {
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
  EXPECT_EQ(PackageFiles(), RecordedTree());
  EXPECT_FALSE(Exists(WorkFolder()));
}

// The name itself a link to a folder: refused before anything is written or started.
TEST_F(PreparedWorkFolder, LinkAtTheNameIsRefused) {
  struct Row { const wchar_t* arguments; } rows[] = {{L"-s1"}, {L"-u3"}};
  for (const Row& row : rows) {
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"8")});
    EXPECT_EQ(1001u, report.exit_code) << Narrow(row.arguments);
    EXPECT_TRUE(SetupRecord().empty()) << "the setup ran";
    EXPECT_TRUE(RemovalLog().empty()) << "the clean-up library or the emulator setup ran";
    EXPECT_TRUE(report.boxes.empty());
  }
}

// Another process (a virus scanner, say) holds a file of the work folder open after the setup has
// ended: held for about a second, the folder still goes; held past the retry bound, the run ends
// within the bound, with the setup's outcome, and leaves the rest.
TEST_F(InstallPath, HeldFileDelaysTheDeletionOnlyWithinItsBound) {
  struct Row { DWORD holdMs; bool folderGone; } rows[] = {{1000, true}, {kDeleteRetryMs + 4000, false}};
  for (const Row& row : rows) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(row.holdMs);
    const std::wstring startedName = L"portivo-e2e-held-started-" + tag;
    const std::wstring releaseName = L"portivo-e2e-held-release-" + tag;
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, startedName.c_str());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    runner::RunOptions options;
    options.exe_path = PORTIVO_PROBE_INSTALLER;
    options.arguments = L"-s1";
    options.env = {runner::SetEnv(L"PROBE_STARTED_EVENT", startedName),
                   runner::SetEnv(L"PROBE_WAIT_EVENT", releaseName), runner::SetEnv(L"PROBE_POST", L"8")};
    runner::RunningInstaller running;
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &running));
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(started, 60000)) << "the setup never started";
    const std::wstring held = WorkFolder() + L"setup.inx";
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    SetEvent(release);
    const DWORD releasedAt = GetTickCount();
    const int watched = runner::WatchInstaller(&running, row.holdMs);
    const bool endedWhileHeld = watched == runner::kRunnerOk;
    CloseHandle(file);
    const int ended = endedWhileHeld ? watched : runner::WatchInstaller(&running, 60000);
    const DWORD runTookMs = GetTickCount() - releasedAt;
    runner::StopInstaller(&running);
    CloseHandle(started);
    CloseHandle(release);

    ASSERT_EQ(runner::kRunnerOk, ended) << row.holdMs;
    EXPECT_EQ(8u, running.report.exit_code) << row.holdMs;
    EXPECT_EQ(row.folderGone, !Exists(WorkFolder())) << row.holdMs;
    if (!row.folderGone) {
      EXPECT_TRUE(endedWhileHeld) << "the run waited for the file beyond its bound";
      EXPECT_LT(runTookMs, kDeleteRetryMs + 3000) << row.holdMs;
      EXPECT_TRUE(Exists(held));
    }
    DeleteFolderTree(WorkFolder());
  }
}

// A setup whose exit code reads as "still active" is polled for about a second and then taken as
// a success. Runs that exit at once, before and after, give the time without polling; the faster
// counts, since a busy machine only ever slows a run down.
TEST_F(InstallPath, SetupExitingWith259RelaysItsOutcomeAfterPolling) {
  const std::vector<runner::EnvChange> posts8 = {runner::SetEnv(L"PROBE_POST", L"8")};
  runner::RunReport before = Run(L"-s1", posts8);
  runner::RunReport polled = Run(L"-s1", {runner::SetEnv(L"PROBE_EXIT", L"259"), runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ("259", Recorded("exit_code"));
  EXPECT_FALSE(Exists(WorkFolder()));
  runner::RunReport after = Run(L"-s1", posts8);
  EXPECT_EQ(8u, before.exit_code);
  EXPECT_EQ(8u, polled.exit_code);
  EXPECT_EQ(8u, after.exit_code);
  const DWORD quick = std::min(before.elapsed_ms, after.elapsed_ms);
  EXPECT_GE(polled.elapsed_ms, quick + 700) << "no polling: " << quick << " vs " << polled.elapsed_ms << " ms";
  EXPECT_TRUE(polled.boxes.empty());
}

// The installer takes its temporary folder from TMP, which the tests set for it alone.
class OtherTempFolder : public InstallerTest {
 protected:
  static std::vector<runner::EnvChange> TempIs(const std::wstring& folder) {
    return {runner::SetEnv(L"TMP", folder), runner::SetEnv(L"TEMP", folder), runner::SetEnv(L"PROBE_POST", L"8")};
  }
  ScratchFolder base_;
  ScratchFolder current_;  // the installer's current folder, where an empty base would unpack
};

// WorkFolder + "setup.exe" must fit 260 characters with its terminator; one that does not fit
// ends the run with 1001 before anything is started, and nothing lands in the current folder.
TEST_F(OtherTempFolder, LongTemporaryFolderFailsCleanlyWhereTheSetupPathDoesNotFit) {
  struct Row { std::size_t tempLength; DWORD exitCode; } rows[] = {
      {150, 8},     // long, but every path fits
      {212, 1001},  // WorkFolder + setup.exe is 260 characters
      {240, 1001},
  };
  wchar_t letter = L'a';
  for (const Row& row : rows) {
    SCOPED_TRACE("temporary folder of " + std::to_string(row.tempLength) + " characters");
    // Names of one letter per row, so that folders of different lengths never share a level.
    std::wstring temp = base_.path() + L"\\";
    while (temp.size() < row.tempLength) {
      const std::size_t remaining = row.tempLength - temp.size();
      temp += std::wstring(remaining <= 101 ? remaining - 1 : 99, letter) + L"\\";
      ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr)) << Narrow(temp);
    }
    ++letter;
    ASSERT_EQ(row.tempLength, temp.size());
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report = Run(L"-s1", TempIs(temp), 300, PORTIVO_PROBE_INSTALLER, current_.path());
    EXPECT_EQ(row.exitCode, report.exit_code);
    EXPECT_TRUE(report.boxes.empty());
    if (row.exitCode == 8) {
      EXPECT_EQ(Narrow(temp + kWorkFolderName + L"setup.exe"), Recorded("module_path"));
      EXPECT_FALSE(Exists(temp + kWorkFolderName));
    } else {
      EXPECT_TRUE(SetupRecord().empty()) << "the setup was started from " << Recorded("module_path");
    }
    EXPECT_TRUE(ListTree(current_.path()).empty()) << "something was unpacked into the current folder";
    EXPECT_FALSE(Exists(WorkFolder())) << "the test's own temporary folder was used";
  }
}

// With blanks in the temporary folder, the command line alone would let the system try
// "...\Documents.exe" before the setup; a program planted there must never run.
TEST_F(OtherTempFolder, BlanksInTheTemporaryFolderStartTheRealSetupNotAPlantedProgram) {
  const std::wstring temp = base_.path() + L"\\Documents and Settings\\Temp\\";
  const std::wstring work = temp + kWorkFolderName;
  ASSERT_TRUE(CreateDirectoryW((base_.path() + L"\\Documents and Settings").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::wstring planted = base_.path() + L"\\Documents.exe";
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, planted.c_str(), FALSE));

  // The bench check: started by its command line alone, the path does reach the planted program.
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, (work + L"setup.exe").c_str(), FALSE));
  SetEnvironmentVariableW(L"PROBE_RECORD", RecordPath().c_str());
  std::wstring commandLine = work + L"setup.exe /clone_wait";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION child = {};
  const BOOL started =
      CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableW(L"PROBE_RECORD", nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(child.hProcess, 30000);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  ASSERT_EQ(Narrow(planted), Recorded("module_path")) << "this system does not try the blank-cut name";
  ASSERT_TRUE(DeleteFolderTree(work.c_str()));
  DeleteFileW(RecordPath().c_str());

  runner::RunReport report = Run(L"-s1", TempIs(temp));
  EXPECT_EQ(8u, report.exit_code);
  EXPECT_EQ(Narrow(work + L"setup.exe"), Recorded("module_path")) << "another program ran in the setup's place";
  EXPECT_EQ(0u, Recorded("command_line").find(Narrow(work + L"setup.exe /clone_wait ")));
  EXPECT_FALSE(Exists(work));
}

}  // namespace
}  // namespace e2e
