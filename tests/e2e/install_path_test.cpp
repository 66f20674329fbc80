// The install path on disk: every file of the install set reaches the setup byte for byte, a
// leftover work folder is reused and removed, and temporary folders that are long or hold blanks
// neither break the run nor start the wrong program.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "install_support.h"
#include "probe_paths.h"
#include "resource_patch.h"

namespace e2e {
namespace {

struct FileFacts {
  unsigned long long size;
  std::string crc32;
  bool operator==(const FileFacts& other) const { return size == other.size && crc32 == other.crc32; }
};

std::string Line(const std::string& path, const FileFacts& facts) {
  return path + "|" + std::to_string(facts.size) + "|" + facts.crc32;
}

// The files that are missing, extra or different, one per line; empty when the two trees agree.
std::string Differences(const std::map<std::string, FileFacts>& expected,
                        const std::map<std::string, FileFacts>& seen) {
  std::string text;
  for (const auto& entry : expected) {
    auto found = seen.find(entry.first);
    if (found == seen.end()) {
      text += "missing " + Line(entry.first, entry.second) + "\n";
    } else if (!(found->second == entry.second)) {
      text += "expected " + Line(entry.first, entry.second) + ", found " + Line(found->first, found->second) + "\n";
    }
  }
  for (const auto& entry : seen) {
    if (expected.count(entry.first) == 0) text += "extra " + Line(entry.first, entry.second) + "\n";
  }
  return text;
}

class InstallPath : public InstallerTest {
 protected:
  // Size and CRC-32 of every install-set file in the probe package, by its path below the
  // WorkFolder.
  static std::map<std::string, FileFacts> PackageFiles() {
    std::map<std::string, FileFacts> files;
    for (const PayloadEntry& row : InstallSet) {
      const std::wstring relative = PayloadRelativePath(row);
      std::vector<unsigned char> bytes;
      EXPECT_EQ(runner::kRunnerOk,
                runner::ReadWholeFile(std::wstring(PORTIVO_PROBE_PACKAGE_DIR) + L"\\" + relative, &bytes))
          << Narrow(relative);
      files[Narrow(relative)] = FileFacts{bytes.size(), runner::Crc32Hex(bytes)};
    }
    return files;
  }

  std::map<std::string, FileFacts> RecordedTree() const {
    std::map<std::string, FileFacts> files;
    for (const runner::RecordedFile& file : runner::RecordedFiles(SetupRecord())) {
      files[file.path] = FileFacts{file.size, file.crc32};
    }
    return files;
  }

  static std::set<std::string> PayloadSubfolders() {
    std::set<std::string> folders;
    for (std::size_t i = 2; i <= kFolderCount; ++i) folders.insert(Narrow(PayloadFolderPath(static_cast<int>(i))));
    return folders;
  }
};

TEST_F(InstallPath, EveryFileArrivesByteExactAndTheWorkFolderGoesAfterwards) {
  ASSERT_FALSE(Exists(WorkFolder()));
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";

  std::map<std::string, FileFacts> expected = PackageFiles();
  ASSERT_EQ(kInstallCount, expected.size()) << "two rows share one path";
  std::map<std::string, FileFacts> seen = RecordedTree();
  ASSERT_EQ(1u, seen.count("PORTS.dat")) << "the setup found no PORTS.dat";
  seen.erase("PORTS.dat");
  EXPECT_EQ("", Differences(expected, seen));
  const std::vector<std::string> folders = runner::ValuesOf(SetupRecord(), "folder");
  EXPECT_EQ(PayloadSubfolders(), std::set<std::string>(folders.begin(), folders.end()));
  EXPECT_FALSE(Exists(WorkFolder()));
}

// An earlier run that was cut short left its work folder: stale files the set does not name, a
// read-only file, a read-only folder with a file in it, and a cabinet of the wrong size.
TEST_F(InstallPath, LeftoverWorkFolderIsReusedAndThenRemovedEntirely) {
  const std::wstring work = WorkFolder();
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(WriteTestFile(work + L"stale.txt", "left by an earlier run\n"));
  ASSERT_TRUE(WriteTestFile(work + L"data1.cab", "truncated"));
  ASSERT_TRUE(WriteTestFile(work + L"readonly.txt", "read-only\n"));
  ASSERT_TRUE(SetFileAttributesW((work + L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryW((work + L"old").c_str(), nullptr));
  ASSERT_TRUE(WriteTestFile(work + L"old\\inside.txt", "in a read-only folder\n"));
  ASSERT_TRUE(SetFileAttributesW((work + L"old").c_str(), FILE_ATTRIBUTE_READONLY));

  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", L"8")});
  EXPECT_EQ(8u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";

  std::map<std::string, FileFacts> seen = RecordedTree();
  for (const char* stale : {"stale.txt", "readonly.txt", "old\\inside.txt"}) {
    EXPECT_EQ(1u, seen.count(stale)) << stale << " was not there for the setup";
    seen.erase(stale);
  }
  seen.erase("PORTS.dat");
  EXPECT_EQ("", Differences(PackageFiles(), seen)) << "the set was not written over the old folder";
  EXPECT_FALSE(Exists(work)) << "the old folder or part of it stayed";
}

// A setup whose exit code reads as "still active" is polled for about a second and then taken as
// a success: the outcome it posted is the run's exit code. Runs of the same setup that exits at
// once, before and after, give the time of a run without polling; the faster of them counts, since
// a busy machine only ever slows a run down.
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
  const DWORD quick = before.elapsed_ms < after.elapsed_ms ? before.elapsed_ms : after.elapsed_ms;
  EXPECT_GE(polled.elapsed_ms, quick + 700) << "no polling: " << quick << " vs " << polled.elapsed_ms << " ms";
  EXPECT_TRUE(polled.boxes.empty());
}

// The installer takes its temporary folder from TMP, which the tests set for it alone.
class OtherTempFolder : public InstallerTest {
 protected:
  static std::vector<runner::EnvChange> TempIs(const std::wstring& folder) {
    return {runner::SetEnv(L"TMP", folder), runner::SetEnv(L"TEMP", folder),
            runner::SetEnv(L"PROBE_POST", L"8")};
  }

  // A folder below base_ whose path, with its trailing separator, is exactly `length` long; its
  // names are made of `letter`, so that folders of different lengths never share a level.
  std::wstring FolderOfLength(std::size_t length, wchar_t letter) {
    std::wstring path = base_.path() + L"\\";
    EXPECT_GE(length, path.size() + 2);
    while (path.size() < length) {
      std::size_t remaining = length - path.size();
      std::size_t segment = remaining <= 101 ? remaining - 1 : 99;
      path += std::wstring(segment, letter) + L"\\";
      EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
    }
    return path;
  }

  static std::wstring WorkFolderIn(const std::wstring& temp) {
    return temp + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  }

  static bool IsEmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do {
      std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") empty = false;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return empty;
  }

  ScratchFolder base_;
  ScratchFolder current_;  // the installer's current folder, where an empty base would unpack
};

// WorkFolder + "setup.exe" must fit 260 characters with its terminator; one that does not fit
// ends the run with 1001 before anything is started, and nothing lands in the current folder.
TEST_F(OtherTempFolder, LongTemporaryFolderFailsCleanlyWhereTheSetupPathDoesNotFit) {
  struct Row { std::size_t tempLength; DWORD exitCode; bool setupRuns; } rows[] = {
      {150, 8, true},      // long, but every path fits
      {212, 1001, false},  // WorkFolder + setup.exe is 260 characters
      {240, 1001, false},
  };
  wchar_t letter = L'a';
  for (const Row& row : rows) {
    const std::wstring temp = FolderOfLength(row.tempLength, letter++);
    ASSERT_EQ(row.tempLength, temp.size());
    SCOPED_TRACE("temporary folder of " + std::to_string(row.tempLength) + " characters");
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report = Run(L"-s1", TempIs(temp), 300, PORTIVO_PROBE_INSTALLER, current_.path());
    EXPECT_EQ(row.exitCode, report.exit_code);
    EXPECT_TRUE(report.boxes.empty());
    if (row.setupRuns) {
      EXPECT_EQ(Narrow(WorkFolderIn(temp) + L"setup.exe"), Recorded("module_path"));
      EXPECT_FALSE(Exists(WorkFolderIn(temp)));
    } else {
      EXPECT_TRUE(SetupRecord().empty()) << "the setup was started from " << Recorded("module_path");
    }
    EXPECT_TRUE(IsEmptyFolder(current_.path())) << "something was unpacked into the current folder";
    EXPECT_FALSE(Exists(WorkFolder())) << "the test's own temporary folder was used";
  }
}

// With blanks in the temporary folder, the command line alone would let the system try
// "...\Documents.exe" before the setup; a program planted there must never run.
TEST_F(OtherTempFolder, BlanksInTheTemporaryFolderStartTheRealSetupNotAPlantedProgram) {
  const std::wstring temp = base_.path() + L"\\Documents and Settings\\Temp\\";
  ASSERT_TRUE(CreateDirectoryW((base_.path() + L"\\Documents and Settings").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::wstring planted = base_.path() + L"\\Documents.exe";
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, planted.c_str(), FALSE));
  const std::wstring setup = WorkFolderIn(temp) + L"setup.exe";

  // The bench check: started by its command line alone, the path does reach the planted program.
  {
    ASSERT_TRUE(CreateDirectoryW(WorkFolderIn(temp).c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, setup.c_str(), FALSE));
    const std::wstring controlRecord = records_ / L"control-record.txt";
    SetEnvironmentVariableW(L"PROBE_RECORD", controlRecord.c_str());
    std::wstring commandLine = setup + L" /clone_wait";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION child = {};
    BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &child);
    SetEnvironmentVariableW(L"PROBE_RECORD", nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(child.hProcess, 30000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    runner::Fields control;
    ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(controlRecord, &control));
    EXPECT_EQ(Narrow(planted), runner::ValueOf(control, "module_path"))
        << "this system does not try the blank-cut name, so the case below proves nothing here";
    ASSERT_TRUE(DeleteFolderTree(WorkFolderIn(temp)));
  }

  runner::RunReport report = Run(L"-s1", TempIs(temp));
  EXPECT_EQ(8u, report.exit_code);
  EXPECT_EQ(Narrow(setup), Recorded("module_path")) << "another program ran in the setup's place";
  EXPECT_EQ(0u, Recorded("command_line").find(Narrow(setup + L" /clone_wait ")));
  EXPECT_FALSE(Exists(WorkFolderIn(temp)));
}

}  // namespace
}  // namespace e2e
