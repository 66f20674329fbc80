// What reaches the setup on disk, and what must never run in its place.

#include <cstdlib>
#include <map>

#include "e2e_support.h"

namespace e2e {
namespace {

// The install path on disk: the setup sees the install set alone, byte for byte, whatever stood at
// the work folder's name before, in the installer's current folder; and a temporary folder that
// holds blanks starts no other program.
typedef std::map<std::string, std::string> Tree;  // path below the work folder -> "size|crc32"

class InstallPath : public InstallerTest {
 protected:
  static Tree PackageFiles() {
    Tree files;
    for (const PayloadEntry& row : InstallSet) {
      const std::wstring relative = PayloadRelativePath(row);
      std::vector<unsigned char> bytes;
      EXPECT_EQ(runner::kRunnerOk,
                runner::ReadWholeFile(std::wstring(PORTIVO_PROBE_PACKAGE_DIR) + L"\\" + relative, &bytes));
      files[Narrow(relative)] = std::to_string(bytes.size()) + "|" + runner::Crc32Hex(bytes);
    }
    EXPECT_EQ(kInstallCount, files.size()) << "two rows share one path";
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
  void ExpectSetupSawThePackageAlone(const runner::RunReport& report) {
    EXPECT_EQ(8u, report.exit_code);
    ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
    EXPECT_EQ(PackageFiles(), RecordedTree());
    EXPECT_FALSE(Exists(WorkFolder()));
  }
};

// Whatever stands at the work folder's name was made by somebody else: stale files, read-only
// entries, a cabinet of the wrong size, a DLL the setup would load from its own folder. The setup
// sees the payload alone (every folder of it holds a file), and nothing of the old folder stays.
TEST_F(InstallPath, EveryFileArrivesByteExactEvenIntoAPreparedWorkFolder) {
  const std::wstring work = WorkFolder();
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((work + L"old").c_str(), nullptr));
  for (const wchar_t* name : {L"stale.txt", L"data1.cab", L"version.dll", L"readonly.txt", L"old\\inside.txt"}) {
    ASSERT_TRUE(WriteTestFile(work + name, "left by an earlier run\n"));
  }
  ASSERT_TRUE(SetFileAttributesW((work + L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((work + L"old").c_str(), FILE_ATTRIBUTE_READONLY));

  ExpectSetupSawThePackageAlone(Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")}));
  EXPECT_EQ(std::vector<std::wstring>{}, ListTree(TempFolder(), L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}."))
      << "the old folder was moved aside and kept";
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(Narrow(current), Recorded("current_folder"));
}

// Links planted at and in the work folder's name. Wine cannot make them, so
// prepared_work_folder.sh makes them on the Unix side, names the case in PORTIVO_PREPARED, and
// checks afterwards that nothing behind them changed.
class PreparedWorkFolder : public InstallPath {
 protected:
  void SetUp() override {
    if (std::getenv("PORTIVO_PREPARED") == nullptr) GTEST_SKIP() << "runs from prepared_work_folder.sh";
  }
  void TearDown() override {}
};

// A folder link at a sub-folder's name and a hard link at a payload file's name.
TEST_F(PreparedWorkFolder, LinksInsideAreNeverFollowed) {
  ExpectSetupSawThePackageAlone(Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")}));
}

// The run log's path a link, to a file or to a folder, or a folder link above it: the run goes on
// as if no log had been asked for, and the script checks that nothing behind the link changed.
TEST_F(PreparedWorkFolder, ALogPathThatIsALinkIsNotWrittenThrough) {
  const runner::RunReport report =
      Run(L"-s1 -log:" + runner::WideFromUtf8(std::getenv("PORTIVO_PREPARED_LOG")), {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
}

// The name itself a link to a folder: refused before anything is written or started; and so is an
// extraction onto a link, or through a link above a folder that it would make on its way.
TEST_F(PreparedWorkFolder, LinkAtTheNameIsRefused) {
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(1001u, report.exit_code);
  EXPECT_TRUE(SetupRecord().empty()) << "the setup ran";
  EXPECT_TRUE(report.boxes.empty());
  EXPECT_EQ(1001u, Run(L"-extract:" + runner::WideFromUtf8(std::getenv("PORTIVO_PREPARED_EXTRACT")) + L" " + LogSwitch()).exit_code);
  EXPECT_EQ(0u, LastLogLine().find("exit code 1001: the folder to extract into could not be ")) << LastLogLine();
}

// The installer takes its temporary folder from TMP, which the tests set for it alone.
class OtherTempFolder : public InstallerTest {
 protected:
  static std::vector<runner::EnvChange> TempIs(const std::wstring& folder) {
    return {runner::SetEnv(L"TMP", folder), runner::SetEnv(L"TEMP", folder), runner::SetEnv(L"PROBE_POST", L"8")};
  }
  ScratchFolder base_;
};

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
  ASSERT_TRUE(DeleteFolderTree(work));

  runner::RunReport report = Run(L"-s1", TempIs(temp));
  EXPECT_EQ(8u, report.exit_code);
  EXPECT_EQ(Narrow(work + L"setup.exe"), Recorded("module_path")) << "another program ran in the setup's place";
  EXPECT_FALSE(Exists(work));
}

// Libraries planted beside the installer under system libraries' names (say, in a downloads
// folder) must never be loaded by it: comctl32, which it loads for a box, and uxtheme and msimg32,
// which system code loads by name to theme and paint its windows and the box.
//
// Wine loads its builtin libraries whatever lies beside a program, so each program here is told
// (AppDefaults\<exe>\DllOverrides) to prefer native ones, as Windows would. A control program in
// the same folder shows that the bench does see a planted load. (version.dll cannot be judged under
// Wine: its own user32 imports it, so every program there loads a planted copy at start.)
//
// Windows 2000 to 7 lack SetDefaultDllDirectories, and 2000 SetDllDirectoryW too: copies of the
// installer whose look-up names are changed to names kernel32 lacks behave as there. msimg32 is
// judged only where the installer preloads it: Wine's own delay loads (its uxtheme's of msimg32)
// take no notice of the restricted search, which those of Windows 8 do.
class DllPlanting : public InstallerTest {
 protected:
  static std::wstring AppDefaults(const std::wstring& program) { return L"Software\\Wine\\AppDefaults\\" + program; }
  void PreferNative(const std::wstring& program, const std::vector<const wchar_t*>& names) {
    if (!UnderWine()) return;  // Windows does so anyway
    programs_.push_back(program);
    for (const wchar_t* name : names) {
      ASSERT_TRUE(SetText(HKEY_CURRENT_USER, AppDefaults(program) + L"\\DllOverrides", name, REG_SZ, L"native,builtin"));
    }
  }
  void TearDown() override {
    for (const std::wstring& program : programs_) {
      RegDeleteKeyW(HKEY_CURRENT_USER, (AppDefaults(program) + L"\\DllOverrides").c_str());
      RegDeleteKeyW(HKEY_CURRENT_USER, AppDefaults(program).c_str());
    }
    InstallerTest::TearDown();
  }
  // A copy of the installer in which each of the names, found once, ends in an X.
  bool CopyWithout(const std::wstring& target, const std::vector<std::string>& names) {
    std::vector<unsigned char> bytes;
    if (runner::ReadWholeFile(PORTIVO_PROBE_INSTALLER, &bytes) != runner::kRunnerOk) return false;
    std::string text(bytes.begin(), bytes.end());
    for (const std::string& name : names) {
      const std::size_t at = text.find(name + '\0');
      if (at == std::string::npos || text.find(name + '\0', at + 1) != std::string::npos) return false;
      text[at + name.size() - 1] = 'X';
    }
    return WriteTestFile(folder_ / target, text);
  }
  // The planted libraries' load marks in a run's log.
  static std::size_t PlantedLoads(const std::wstring& log) {
    std::vector<runner::Fields> lines;
    return runner::ReadProbeLog(log, &lines) == runner::kRunnerOk ? lines.size() : 0;
  }

  ScratchFolder folder_;
  std::vector<std::wstring> programs_;
};

TEST_F(DllPlanting, TheInstallerNeverLoadsAPlantedSystemLibrary) {
  for (const wchar_t* name : {L"comctl32.dll", L"uxtheme.dll", L"msimg32.dll"}) {
    ASSERT_TRUE(CopyFileW((std::wstring(PORTIVO_PROBE_PLANTED_DIR) + L"\\" + name).c_str(), (folder_ / name).c_str(), FALSE));
  }
  const wchar_t control[] = L"PortivoPlantedControl.exe";
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_MSGBOX_EXE, (folder_ / control).c_str(), FALSE));
  PreferNative(control, {L"comctl32", L"uxtheme", L"msimg32"});
  runner::RunReport report;
  runner::RunOptions options;
  options.exe_path = folder_ / control;
  options.env = {runner::SetEnv(L"PROBE_LOAD_LIBRARY", L"comctl32.dll,uxtheme.dll,msimg32.dll"),
                 runner::SetEnv(L"PROBE_BOX_COUNT", L"0"),
                 runner::SetEnv(L"PROBE_PLANTED_RECORD", records_ / L"control-log.txt")};
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
  ASSERT_EQ(3u, PlantedLoads(records_ / L"control-log.txt")) << "the bench cannot see a planted load";

  struct Row { const wchar_t* copy; std::vector<std::string> gone; std::vector<const wchar_t*> native; } rows[] = {
      {L"PortivoPlantedCheck.exe", {}, {L"comctl32", L"uxtheme"}},
      {L"PortivoWithoutDefaultDirs.exe", {"SetDefaultDllDirectories"}, {L"comctl32", L"uxtheme", L"msimg32"}},
      {L"PortivoWithoutDllDirectory.exe", {"SetDefaultDllDirectories", "SetDllDirectoryW"},
       {L"comctl32", L"uxtheme", L"msimg32"}},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(CopyWithout(row.copy, row.gone)) << Narrow(row.copy);
    PreferNative(row.copy, row.native);
    // The common controls are loaded for a box: an interactive run that fails shows one.
    for (const wchar_t* arguments : {L"-s1", L""}) {
      const std::wstring log = records_ / (std::wstring(row.copy) + arguments + L".txt");
      const std::string label = Narrow(row.copy) + " '" + Narrow(arguments) + "'";
      report = Run(arguments, {runner::SetEnv(L"PROBE_PLANTED_RECORD", log), runner::SetEnv(L"PROBE_EXIT", L"2")},
                   folder_ / row.copy);
      EXPECT_EQ(1001u, report.exit_code) << label << ": the installer did not run through";
      EXPECT_EQ(*arguments == L'\0' ? 1u : 0u, report.boxes.size()) << label;
      EXPECT_EQ(0u, PlantedLoads(log)) << label;
    }
  }
}

}  // namespace
}  // namespace e2e
