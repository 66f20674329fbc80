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
  std::wstring Package() const { return scratch_ / L"new\\deeper\\package"; }
  ScratchFolder scratch_;
};

// No box in any run, though interactive, nothing started and nothing in the temporary folder.
// Refused, before or instead of writing: a file where a folder on the way should be made (the log
// names it), a damaged removal-set file (both sets are checked first, so the next extraction to the
// same name finds it free), a folder at the name (left as it was), Windows older than 2000 (the
// folder's descriptor needs it), and a switch without a folder (never an install). Written: the
// whole package, two folders deeper than anything that exists, with a kernel-mode driver installed
// (a user-mode run would stop with a box) and mode switches on the line.
TEST_F(Extraction, WritesThePackageAndNothingElseOrNothingAtAll) {
  const std::wstring damaged = scratch_ / L"damaged.exe", temp = scratch_ / L"temp", onTheWay = scratch_ / L"new";
  const std::wstring versionKey = L"Software\\Wine\\AppDefaults\\PortivoInstaller.exe";
  ASSERT_TRUE(CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, damaged, RemovalSet[kRemovalCount - 1].resourceId));
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  SavedValue savedVersion(HKEY_CURRENT_USER, versionKey, L"Version");
  struct Row { std::string prepared; std::wstring line, installer; std::size_t entries; std::string end; } rows[] = {
      {"file", L"-extract:" + Package(), PORTIVO_PROBE_INSTALLER, 0,
       "exit code 1001: the folder to extract into could not be reached: a folder on its way could not be made, or is a link"},
      {"", L"-extract:" + Package(), damaged, 0, "exit code 1001: the installer is damaged: a payload file does not match its digest"},
      {"kernel", L"-u3 -s1 -extract:" + Package(), PORTIVO_PROBE_INSTALLER, kInstallCount + kRemovalCount + kFolderCount - 1,
       "exit code 0: the package was written whole"},
      {"folder", L"-extract:" + Package(), PORTIVO_PROBE_INSTALLER, 1, "exit code 1001: the folder to extract into could not be made anew"},
      {"nt40", L"-extract:" + Package(), PORTIVO_PROBE_INSTALLER, 0, "exit code 1001: Windows is older than Windows 2000"},
      {"", L"-extract: -s1", PORTIVO_PROBE_INSTALLER, 0, "exit code 1001: no folder follows -extract:, or it is longer than 259 characters"},
  };
  for (const Row& row : rows) {
    if (row.prepared == "nt40" && !UnderWine()) continue;  // said when the case ends
    SCOPED_TRACE(Narrow(row.installer + L" " + row.line) + " " + row.prepared);
    if (row.prepared == "file") ASSERT_TRUE(WriteTestFile(onTheWay, ""));
    if (row.prepared == "kernel") ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM", 1));
    if (row.prepared == "folder") ASSERT_TRUE(CreateDirectoryW(Package().c_str(), nullptr) && WriteTestFile(Package() + L"\\mine", ""));
    if (row.prepared == "nt40") ASSERT_TRUE(SetText(HKEY_CURRENT_USER, versionKey, L"Version", REG_SZ, L"nt40"));
    runner::RunReport report = Run(row.line + L" " + LogSwitch(), {runner::SetEnv(L"TMP", temp), runner::SetEnv(L"TEMP", temp)}, row.installer);
    RegDeleteKeyW(HKEY_CURRENT_USER, versionKey.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    EXPECT_EQ(row.entries > 1 ? 0u : 1001u, report.exit_code);
    const std::vector<std::wstring> log = LogLines();
    EXPECT_EQ(row.end, LastLogLine());
    if (row.prepared == "file") EXPECT_NE(std::wstring::npos, log.at(log.size() - 2).find(L"the folder " + onTheWay + L" on its way"));
    EXPECT_TRUE(report.boxes.empty() && SetupRecord().empty() && RemovalLog().empty()) << "a box, or something started";
    EXPECT_EQ(row.entries, ListTree(Package()).size());
    EXPECT_EQ(row.entries != 0, Exists(Package())) << "a refused extraction left its folder";
    EXPECT_EQ(std::vector<std::wstring>{}, ListTree(temp));
    DeleteFileW(onTheWay.c_str());
    if (row.entries != 0) DeleteFolderTree(Package());
  }
  if (!UnderWine()) GTEST_SKIP() << "the row of Windows nt40 needs Wine's Version setting; the others ran";
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
    runner::RunningInstaller running;
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(Options(L"-extract:" + Package() + L" " + LogSwitch(), {},
                                                                PORTIVO_PROBE_INSTALLER), &running));
    while (!Exists(Package()) && WaitForSingleObject(running.process, 0) == WAIT_TIMEOUT) {
    }
    plantedFirst = CreateHardLinkW((Package() + L"\\QXCOMUSBCLN.dll").c_str(), victim.c_str(), nullptr);
    ASSERT_EQ(runner::kRunnerOk, runner::WatchInstaller(&running, 60000));
    runner::StopInstaller(&running);
    EXPECT_EQ(plantedFirst ? 1001u : 0u, running.report.exit_code);
    EXPECT_EQ(plantedFirst, !Exists(Package()));
    DeleteFolderTree(Package());
  }
  ASSERT_TRUE(plantedFirst) << "the link never came before the file";
  EXPECT_EQ("keep me", ReadTestFile(victim));
}

}  // namespace
}  // namespace e2e
