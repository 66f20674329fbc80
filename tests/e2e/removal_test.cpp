// The removal run ("-u3"), seen from outside: it unpacks only the emulator setups and the clean-up
// library, calls the library's uninstall function once, runs the emulator setup of the Windows
// width with "/9" alone, deletes its work folder and tidies the product's empty program and
// start-menu folders, also when it fails.
#include <cctype>
#include <cstdint>
#include <cstring>

#include "common/probe_support.h"
#include "e2e_support.h"
#include "payload/digest.h"

namespace e2e {
namespace {

// The test program has the installer's width, so it and its WOW64 flag tell the Windows width;
// tests/CMakeLists.txt runs these cases again in a 32-bit prefix where one can be made.
bool SixtyFourBitWindows() {
  BOOL wow64 = FALSE;
  return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}
const wchar_t* ChosenSetup() { return SixtyFourBitWindows() ? L"OPESetup64.exe" : L"OPESetup32.exe"; }
WORD ChosenSetupResource() { return SixtyFourBitWindows() ? 149 : 148; }

// Paths as the probes log them may differ from ours in letter case only.
std::string Folded(std::string folded) {
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// Program Files and the start menu moved into a scratch folder by pointing the two registry values
// there, put back when the case ends. The start-menu value is kept unexpanded, as Windows keeps it,
// so that the installer expands it in its own environment. Each case starts with the product's
// folders there: Program Files\ORVIK and start menu\ORVIK Portivo empty, start menu\ORVIK with a
// file of the user's.
class Removal : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kProgramFilesKey, L"ProgramFilesPath", REG_SZ, ProgramFiles()));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common Programs", REG_EXPAND_SZ,
                        L"%PORTIVO_E2E_START_MENU%"));
    for (const std::wstring& folder : {ProgramFiles(), StartMenu(), ProgramFolder(), MenuFolder(), ProductMenuFolder()}) {
      ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    ASSERT_TRUE(WriteTestFile(MenuFolder() + L"\\readme.txt", "kept"));
  }

  runner::RunReport RunRemoval(std::vector<runner::EnvChange> env = {},
                               const std::wstring& installer = PORTIVO_PROBE_INSTALLER) {
    env.push_back(runner::SetEnv(L"PORTIVO_E2E_START_MENU", StartMenu()));
    return Run(L"-u3 " + LogSwitch(), env, installer);
  }

  // Empty product folders go; the one with the user's file stays as it was.
  void ExpectFoldersTidied(const std::string& label) {
    EXPECT_FALSE(Exists(ProgramFolder())) << label;
    EXPECT_FALSE(Exists(ProductMenuFolder())) << label;
    EXPECT_EQ((std::vector<std::wstring>{L"readme.txt"}), ListTree(MenuFolder())) << label;
  }

  std::wstring ProgramFiles() const { return root_ / L"Program Files"; }
  std::wstring StartMenu() const { return root_ / L"Programs"; }
  std::wstring ProgramFolder() const { return ProgramFiles() + L"\\ORVIK"; }
  std::wstring MenuFolder() const { return StartMenu() + L"\\ORVIK"; }
  std::wstring ProductMenuFolder() const { return StartMenu() + L"\\ORVIK Portivo"; }

  ScratchFolder root_;
  SavedValue programFiles_{HKEY_LOCAL_MACHINE, kProgramFilesKey, L"ProgramFilesPath"};
  SavedValue commonPrograms_{HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common Programs"};
};

TEST_F(Removal, CleanUpRunsOnceThenTheEmulatorSetupWithNineAloneAndTheFoldersGo) {
  runner::RunReport report = RunRemoval();
  EXPECT_EQ(0u, report.exit_code);
  EXPECT_TRUE(report.boxes.empty());
  // The library is loaded into the installer, called once and unloaded before the setup starts.
  const std::vector<runner::Fields> log = RemovalLog();
  ASSERT_EQ((std::vector<std::string>{"cleanup-load", "cleanup-call", "cleanup-unload", "opesetup"}), RemovalKinds());
  const std::string pid = std::to_string(report.process_id);
  EXPECT_EQ(Folded(Narrow(WorkFolder() + L"QXCOMUSBCLN.dll")), Folded(runner::ValueOf(log[0], "module")));
  EXPECT_EQ(pid, runner::ValueOf(log[0], "pid"));
  EXPECT_EQ("1", runner::ValueOf(log[1], "calls"));
  EXPECT_EQ(pid, runner::ValueOf(log[1], "pid"));
  EXPECT_EQ("FreeLibrary", runner::ValueOf(log[2], "by"));
  EXPECT_EQ(SixtyFourBitWindows() ? "64" : "32", runner::ValueOf(log[3], "bits"));
  EXPECT_EQ(Folded(Narrow(WorkFolder() + ChosenSetup())), Folded(runner::ValueOf(log[3], "module")));
  EXPECT_EQ(Folded(Narrow(WorkFolder() + ChosenSetup() + L" /9")), Folded(runner::ValueOf(log[3], "cmdline")));
  EXPECT_TRUE(SetupRecord().empty()) << "the install path's setup ran";
  EXPECT_FALSE(Exists(WorkFolder()));
  ExpectFoldersTidied("");
}

// A copy of the probe installer whose clean-up library lacks the uninstall function, with the
// digest row to match, as a build around such a library would have it.
bool CopyWithLibraryWithoutItsFunction(const std::wstring& half, const std::wstring& target) {
  WORD id = 0;
  for (const PayloadEntry& row : RemovalSet) {
    if (row.nameId == kCleanupLibraryNameId) id = row.resourceId;
  }
  std::vector<unsigned char> library, digests;
  if (runner::ReadWholeFile(PORTIVO_PROBE_CLEANUP_NOEXPORT_DLL, &library) != runner::kRunnerOk ||
      runner::ReadRcdata(PORTIVO_PROBE_INSTALLER, kDigestTableId, &digests) != runner::kRunnerOk) return false;
  const std::uint32_t digest[] = {id, static_cast<std::uint32_t>(library.size()),
                                  static_cast<std::uint32_t>(probe::Crc32(0, library.data(), library.size()))};
  for (std::size_t at = 0; at + kDigestRowBytes <= digests.size(); at += kDigestRowBytes) {
    if (std::memcmp(&digests[at], digest, 4) == 0) std::memcpy(&digests[at], digest, kDigestRowBytes);
  }
  return runner::CopyWithRcdata(PORTIVO_PROBE_INSTALLER, half, id, &library) == runner::kRunnerOk &&
         runner::CopyWithRcdata(half, target, kDigestTableId, &digests) == runner::kRunnerOk;
}

// An emulator setup that crashes fails the run, and so does a clean-up library that does not load
// or lacks its uninstall function (the emulator setup still runs, and the library is unloaded
// first); of two failures the first is named. A damaged emulator setup is refused before anything
// is written or loaded. Quiet either way, and the folders are tidied all the same.
TEST_F(Removal, FailedRunsStayQuietAndStillTidy) {
  ScratchFolder variants;
  const std::wstring damaged = variants / L"damaged.exe", noFunction = variants / L"no-function.exe";
  ASSERT_TRUE(CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, damaged, ChosenSetupResource()));
  ASSERT_TRUE(CopyWithLibraryWithoutItsFunction(variants / L"half.exe", noFunction));
  struct Row { std::wstring installer; const wchar_t* setupExit; const wchar_t* load; const char* kinds; const char* cause; } rows[] = {
      {PORTIVO_PROBE_INSTALLER, L"crash", L"", "cleanup-load cleanup-call cleanup-unload opesetup ",
       "the emulator setup crashed (exit code 0xC0000005)"},
      {PORTIVO_PROBE_INSTALLER, L"2", L"fail", "cleanup-load cleanup-unload opesetup ", "the clean-up library did not run"},
      {noFunction, L"0", L"", "cleanup-load cleanup-unload opesetup ", "the clean-up library did not run"},
      {damaged, L"0", L"", "", "the installer is damaged: a payload file does not match its digest"},
  };
  for (const Row& row : rows) {
    runner::RunReport report = RunRemoval(
        {runner::SetEnv(L"PROBE_OPE_EXIT", row.setupExit), runner::SetEnv(L"PROBE_CLEANUP_LOAD", row.load)}, row.installer);
    const std::string label = std::string(row.cause) + ", the emulator setup's exit " + Narrow(row.setupExit);
    EXPECT_EQ(1001u, report.exit_code) << label;
    EXPECT_EQ("exit code 1001: " + std::string(row.cause), LastLogLine()) << label;
    EXPECT_TRUE(report.boxes.empty()) << label;
    std::string kinds;
    for (const std::string& kind : RemovalKinds()) kinds += kind + " ";
    EXPECT_EQ(row.kinds, kinds) << label;
    EXPECT_FALSE(Exists(WorkFolder())) << label;
    ExpectFoldersTidied(label);
    CreateDirectoryW(ProgramFolder().c_str(), nullptr);
    CreateDirectoryW(ProductMenuFolder().c_str(), nullptr);
  }
}

}  // namespace
}  // namespace e2e
