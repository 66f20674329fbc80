// The installer as its own package: -extract: writes the package and nothing else, and a run that
// cannot make the folder new or write it whole ends with 1001, its cause in the log, and leaves
// nothing. That the folder is the package byte for byte, and builds the same installer again, is
// tests/release/rebuild_identical.sh's; the link at the name is prepared_work_folder.sh's and the
// full disk full_disk.sh's.
#include "e2e_support.h"

namespace e2e {
namespace {

class Extraction : public InstallerTest {
 protected:
  std::wstring Package() const { return scratch_ / L"package"; }
  ScratchFolder scratch_;
};

// With a kernel-mode driver installed a user-mode run would stop with a box; an extraction checks
// no driver, runs nothing and puts nothing into its temporary folder, whatever mode the line asks for.
TEST_F(Extraction, WritesThePackageAndNothingElse) {
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM", 1));
  const std::wstring temp = scratch_ / L"temp";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  runner::RunReport report = Run(L"-u3 -s1 -extract:" + Package() + L" " + LogSwitch(),
                                 {runner::SetEnv(L"TMP", temp), runner::SetEnv(L"TEMP", temp)});
  EXPECT_EQ(0u, report.exit_code);
  EXPECT_EQ("exit code 0: the package was written whole", LastLogLine());
  EXPECT_TRUE(report.boxes.empty());
  EXPECT_EQ(kInstallCount + kRemovalCount, ListTree(Package()).size() - (kFolderCount - 1));
  EXPECT_TRUE(SetupRecord().empty() && RemovalLog().empty()) << "something was started";
  EXPECT_EQ(std::vector<std::wstring>{}, ListTree(temp));
}

// Refused before or instead of writing, quietly although the run is interactive: a folder at the
// name (left as it was), a damaged removal-set file (both sets are checked first), Windows older
// than 2000 (the folder's descriptor needs it), and a switch without a folder (never an install).
TEST_F(Extraction, RefusedRunsLeaveNothingAndSayWhy) {
  WORD library = 0;
  for (const PayloadEntry& row : RemovalSet) library = row.resourceId;
  const std::wstring damaged = scratch_ / L"damaged.exe";
  ASSERT_TRUE(CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, damaged, library));
  const std::wstring versionKey = L"Software\\Wine\\AppDefaults\\PortivoInstaller.exe";
  SavedValue savedVersion(HKEY_CURRENT_USER, versionKey, L"Version");
  struct Row { const char* prepared; std::wstring arguments, installer; std::string cause; } rows[] = {
      {"folder", L"-extract:" + Package(), PORTIVO_PROBE_INSTALLER, "the folder to extract into could not be made anew"},
      {"", L"-extract:" + Package(), damaged, "the installer is damaged: a payload file does not match its digest"},
      {"nt40", L"-extract:" + Package(), PORTIVO_PROBE_INSTALLER, "Windows is older than Windows 2000"},
      {"", L"-extract: -s1", PORTIVO_PROBE_INSTALLER, "no folder follows -extract:, or it is longer than 259 characters"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.arguments) + " " + row.prepared);
    const std::string prepared = row.prepared;
    if (prepared == "folder") {
      ASSERT_TRUE(CreateDirectoryW(Package().c_str(), nullptr));
      ASSERT_TRUE(WriteTestFile(Package() + L"\\mine.txt", "mine"));
    }
    if (prepared == "nt40") ASSERT_TRUE(SetText(HKEY_CURRENT_USER, versionKey, L"Version", REG_SZ, L"nt40"));
    runner::RunReport report = Run(row.arguments + L" " + LogSwitch(), {}, row.installer);
    RegDeleteKeyW(HKEY_CURRENT_USER, versionKey.c_str());
    EXPECT_EQ(1001u, report.exit_code);
    EXPECT_EQ("exit code 1001: " + row.cause, LastLogLine());
    EXPECT_TRUE(report.boxes.empty());
    EXPECT_TRUE(SetupRecord().empty()) << "the setup ran";
    EXPECT_EQ(prepared == "folder" ? std::vector<std::wstring>{L"mine.txt"} : std::vector<std::wstring>{},
              ListTree(Package()));
    EXPECT_EQ(prepared == "folder", DeleteFolderTree(Package()));
  }
}

// Another process puts a hard link into the new folder at the name of the last file while the
// files are written. On Windows the folder's descriptor keeps a user's processes out; on a disk
// without permissions (a FAT stick, some shares) and under Wine nothing does, so the file must be
// made new rather than written through the link. The run ends with 1001 and removes what it wrote,
// and what the link points to stays as it was.
TEST_F(Extraction, ALinkPutIntoTheFolderMeanwhileIsNeverWrittenThrough) {
  const std::wstring victim = scratch_ / L"victim.txt";
  ASSERT_TRUE(WriteTestFile(victim, "keep me"));
  bool plantedFirst = false;
  for (int attempt = 0; attempt < 5 && !plantedFirst; ++attempt) {
    DeleteFolderTree(Package());
    DeleteFileW(LogPath().c_str());
    runner::RunningInstaller running;
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(Options(L"-extract:" + Package() + L" " + LogSwitch(), {},
                                                                PORTIVO_PROBE_INSTALLER), &running));
    while (!Exists(Package()) && WaitForSingleObject(running.process, 0) == WAIT_TIMEOUT) {
    }
    plantedFirst = CreateHardLinkW((Package() + L"\\QXCOMUSBCLN.dll").c_str(), victim.c_str(), nullptr);
    ASSERT_EQ(runner::kRunnerOk, runner::WatchInstaller(&running, 60000));
    runner::StopInstaller(&running);
    if (!plantedFirst) continue;
    EXPECT_EQ(1001u, running.report.exit_code);
    EXPECT_EQ("exit code 1001: a payload file could not be written whole", LastLogLine());
    EXPECT_FALSE(Exists(Package()));
  }
  ASSERT_TRUE(plantedFirst) << "the link never came before the file";
  EXPECT_EQ("keep me", ReadTestFile(victim));
}

}  // namespace
}  // namespace e2e
