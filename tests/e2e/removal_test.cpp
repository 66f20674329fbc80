// The removal run ("-u3"), seen from outside: it unpacks only the emulator setups and the clean-up
// library, calls the library's uninstall function once, runs the emulator setup of the Windows
// width with "/9" alone, deletes its work folder and tidies the product's empty program and
// start-menu folders, also when a file it needs did not arrive.
#include <cctype>

#include "e2e_support.h"

namespace e2e {
namespace {

const WORD kOpeSetup32Resource = 148;
const WORD kOpeSetup64Resource = 149;
const WORD kCleanupLibraryResource = 150;

// The test program has the installer's width, so it and its WOW64 flag tell the Windows width.
bool SixtyFourBitWindows() {
  BOOL wow64 = FALSE;
  return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

struct EmulatorSetup {
  const wchar_t* name;
  const char* bits;
  WORD resource;
  const wchar_t* probe;  // the file the probe package carries under that name
};

const EmulatorSetup kOpeSetup32 = {L"OPESetup32.exe", "32", kOpeSetup32Resource, PORTIVO_PROBE_OPESETUP32_EXE};
const EmulatorSetup kOpeSetup64 = {L"OPESetup64.exe", "64", kOpeSetup64Resource, PORTIVO_PROBE_OPESETUP64_EXE};

const EmulatorSetup& ChosenSetup() { return SixtyFourBitWindows() ? kOpeSetup64 : kOpeSetup32; }
const EmulatorSetup& OtherSetup() { return SixtyFourBitWindows() ? kOpeSetup32 : kOpeSetup64; }

// Paths as the probes log them may differ from ours in letter case only.
std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

const wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kShellFoldersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The product's folders under Program Files and in the start menu, moved into a scratch folder by
// pointing the two registry values there; the values are put back and the folder removed when the
// case ends. The start-menu value is kept unexpanded, as Windows keeps it, so that the installer
// expands it in its own environment.
class LeftoverFolders {
 public:
  LeftoverFolders() {
    DeleteFolderTree(root_.c_str());
    CreateDirectoryW(root_.c_str(), nullptr);
    CreateDirectoryW(ProgramFiles().c_str(), nullptr);
    CreateDirectoryW((root_ + L"\\Start Menu").c_str(), nullptr);
    CreateDirectoryW(StartMenu().c_str(), nullptr);
    ok_ = SetText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProgramFilesPath", REG_SZ, ProgramFiles()) &&
          SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common Programs", REG_EXPAND_SZ,
                  L"%PORTIVO_E2E_START_MENU%");
  }
  ~LeftoverFolders() { DeleteFolderTree(root_.c_str()); }
  LeftoverFolders(const LeftoverFolders&) = delete;
  LeftoverFolders& operator=(const LeftoverFolders&) = delete;

  bool ok() const { return ok_; }
  runner::EnvChange StartMenuVariable() const {
    return runner::SetEnv(L"PORTIVO_E2E_START_MENU", StartMenu());
  }
  std::wstring ProgramFiles() const { return root_ + L"\\Program Files"; }
  std::wstring StartMenu() const { return root_ + L"\\Start Menu\\Programs"; }
  std::wstring ProgramFolder() const { return ProgramFiles() + L"\\ORVIK"; }
  std::wstring MenuFolder() const { return StartMenu() + L"\\ORVIK"; }
  std::wstring ProductMenuFolder() const { return StartMenu() + L"\\ORVIK Portivo"; }

 private:
  SavedValue programFiles_{HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProgramFilesPath"};
  SavedValue commonPrograms_{HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common Programs"};
  std::wstring root_ = TempFolder() + L"portivo-e2e-leftovers-" + std::to_wstring(GetCurrentProcessId());
  bool ok_ = false;
};

class Removal : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(folders_.ok()) << "the folder values could not be pointed at the scratch folder";
    ASSERT_TRUE(Exists(folders_.StartMenu()));
  }

  // Removal runs with the start-menu value resolvable.
  runner::RunReport RunRemoval(const std::wstring& arguments, std::vector<runner::EnvChange> env = {},
                               const std::wstring& installer = PORTIVO_PROBE_INSTALLER) {
    env.push_back(folders_.StartMenuVariable());
    return Run(arguments, env, 300, installer);
  }

  // Between the rows of one case: no work folder, no logs of the previous row.
  void Reset() {
    DeleteFolderTree(WorkFolder().c_str());
    DeleteFileW(RemovalLogPath().c_str());
    DeleteFileW(RecordPath().c_str());
  }

  // A copy of the probe installer with one payload resource removed, damaged in place, or replaced
  // by other bytes under a matching digest.
  enum class Change { kRemoved, kDamaged, kReplaced };
  std::wstring Variant(WORD resource, Change change, const std::vector<unsigned char>& bytes = {}) {
    const std::wstring path = variants_ / (L"variant-" + std::to_wstring(++variantCount_) + L".exe");
    const bool made =
        change == Change::kRemoved
            ? runner::CopyWithRcdata(PORTIVO_PROBE_INSTALLER, path, resource, nullptr) == runner::kRunnerOk
        : change == Change::kDamaged ? CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, path, resource)
                                     : CopyWithRcdataAndDigest(PORTIVO_PROBE_INSTALLER, path, resource, bytes);
    EXPECT_TRUE(made) << "resource " << resource;
    return path;
  }

  LeftoverFolders folders_;
  ScratchFolder variants_;
  int variantCount_ = 0;
};

// The library is loaded into the installer, called once and unloaded before the emulator setup
// starts; the setup gets the program path and "/9", nothing else.
void ExpectCleanUpThenEmulatorSetup(const std::vector<runner::Fields>& log, DWORD installerPid,
                                    const EmulatorSetup& setup, const std::string& label) {
  ASSERT_EQ((std::vector<std::string>{"cleanup-load", "cleanup-call", "cleanup-unload", "opesetup"}),
            KindsOf(log))
      << label;
  const std::string pid = std::to_string(installerPid);
  EXPECT_EQ(Folded(Narrow(WorkFolder() + L"QXCOMUSBCLN.dll")), Folded(runner::ValueOf(log[0], "module")))
      << label;
  EXPECT_EQ(pid, runner::ValueOf(log[0], "pid")) << label;
  EXPECT_EQ("1", runner::ValueOf(log[1], "calls")) << label;
  EXPECT_EQ(pid, runner::ValueOf(log[1], "pid")) << label;
  EXPECT_EQ("FreeLibrary", runner::ValueOf(log[2], "by")) << label;
  EXPECT_EQ(setup.bits, runner::ValueOf(log[3], "bits")) << label;
  EXPECT_EQ(Folded(Narrow(WorkFolder() + setup.name)), Folded(runner::ValueOf(log[3], "module"))) << label;
  EXPECT_EQ(Folded(Narrow(WorkFolder() + setup.name + L" /9")), Folded(runner::ValueOf(log[3], "cmdline")))
      << label;
}

TEST_F(Removal, CleanUpRunsOnceThenTheEmulatorSetupWithNineAloneAndTheWorkFolderGoes) {
  // "-u3" wins over the other mode switches wherever it stands.
  for (const wchar_t* arguments : {L"-u3", L"-U3", L"-s1 -u3", L"-u1 -U3 -QX:COM3 -KD:COM3"}) {
    Reset();
    runner::RunReport report = RunRemoval(arguments);
    const std::string label = Narrow(arguments);
    EXPECT_EQ(0u, report.exit_code) << label;
    EXPECT_TRUE(report.boxes.empty()) << label;
    ExpectCleanUpThenEmulatorSetup(RemovalLog(), report.process_id, ChosenSetup(), label);
    EXPECT_TRUE(SetupRecord().empty()) << label << ": the install path's setup ran";
    EXPECT_FALSE(Exists(WorkFolder())) << label;
  }
}

TEST_F(Removal, OnlyAnExitCodeOfTwoFromTheEmulatorSetupFailsTheRun) {
  struct Row {
    const wchar_t* setupExit;
    DWORD exitCode;
  } rows[] = {{L"2", 1001}, {L"1", 0}, {L"1001", 0}, {L"-1", 0}};
  for (const Row& row : rows) {
    Reset();
    runner::RunReport report = RunRemoval(L"-u3", {runner::SetEnv(L"PROBE_OPE_EXIT", row.setupExit)});
    const std::string label = "emulator setup exits with " + Narrow(row.setupExit);
    EXPECT_EQ(row.exitCode, report.exit_code) << label;
    EXPECT_TRUE(report.boxes.empty()) << label << ": the removal mode is a quiet one";
    ExpectCleanUpThenEmulatorSetup(RemovalLog(), report.process_id, ChosenSetup(), label);
    EXPECT_FALSE(Exists(WorkFolder())) << label << ": the work folder goes whatever the setup gave";
  }
}

// A removal-set file missing or damaged, of either width: a damaged installer, refused before
// anything is written or loaded; the leftover folders are tidied all the same.
TEST_F(Removal, MissingOrDamagedFileFailsBeforeAnythingIsWritten) {
  struct Row { const char* label; WORD resource; Change change; } rows[] = {
      {"no clean-up library", kCleanupLibraryResource, Change::kRemoved},
      {"no emulator setup of the other width", OtherSetup().resource, Change::kRemoved},
      {"damaged emulator setup", ChosenSetup().resource, Change::kDamaged},
  };
  for (const Row& row : rows) {
    Reset();
    DeleteFolderTree(folders_.ProgramFolder().c_str());
    ASSERT_TRUE(CreateDirectoryW(folders_.ProgramFolder().c_str(), nullptr));
    runner::RunReport report = RunRemoval(L"-u3", {}, Variant(row.resource, row.change));
    EXPECT_EQ(1001u, report.exit_code) << row.label;
    EXPECT_TRUE(report.boxes.empty()) << row.label;
    EXPECT_TRUE(RemovalLog().empty()) << row.label << ": something was loaded or started";
    EXPECT_FALSE(Exists(WorkFolder())) << row.label;
    EXPECT_FALSE(Exists(folders_.ProgramFolder())) << row.label << ": the empty leftover folder stayed";
  }
}

// A library without the uninstall function is loaded and passed over.
TEST_F(Removal, LibraryWithoutTheFunctionStillRunsTheSetup) {
  std::vector<unsigned char> noExport;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadWholeFile(PORTIVO_PROBE_CLEANUP_NOEXPORT_DLL, &noExport));
  runner::RunReport report =
      RunRemoval(L"-u3", {}, Variant(kCleanupLibraryResource, Change::kReplaced, noExport));
  EXPECT_EQ(0u, report.exit_code);
  EXPECT_TRUE(report.boxes.empty());
  const std::vector<runner::Fields> log = RemovalLog();
  ASSERT_EQ((std::vector<std::string>{"cleanup-load", "cleanup-unload", "opesetup"}), KindsOf(log));
  EXPECT_EQ("FreeLibrary", runner::ValueOf(log[1], "by"));
  EXPECT_EQ(Folded(Narrow(WorkFolder() + ChosenSetup().name + L" /9")), Folded(runner::ValueOf(log.back(), "cmdline")));
  EXPECT_FALSE(Exists(WorkFolder()));
}

// ---- Leftover folders -------------------------------------------------------------------------

enum class Content { kNone, kEmpty, kFile, kFolder, kDotFileOnly };

void Make(const std::wstring& folder, Content content) {
  if (content == Content::kNone) return;
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
  switch (content) {
    case Content::kFile: ASSERT_TRUE(WriteTestFile(folder + L"\\readme.txt", "kept")); break;
    case Content::kFolder: ASSERT_TRUE(CreateDirectoryW((folder + L"\\Docs").c_str(), nullptr)); break;
    case Content::kDotFileOnly: ASSERT_TRUE(WriteTestFile(folder + L"\\.x", "")); break;
    default: break;
  }
}

TEST_F(Removal, EmptyProductFoldersGoAndOthersStayAsTheyWere) {
  // Program Files\ORVIK, start menu\ORVIK and, beside it, start menu\ORVIK Portivo.
  struct Row { const char* label; Content program, menu, productMenu; bool programGoes, menuGoes, productMenuGoes; } rows[] = {
      {"all empty", Content::kEmpty, Content::kEmpty, Content::kEmpty, true, true, true},
      // A name with a leading full stop is not counted, but the folder cannot go with it inside.
      {"mixed", Content::kEmpty, Content::kFile, Content::kDotFileOnly, true, false, false},
      {"mixed the other way", Content::kFolder, Content::kEmpty, Content::kEmpty, false, true, true},
      {"only the sibling", Content::kNone, Content::kNone, Content::kEmpty, false, false, true},
  };
  for (const Row& row : rows) {
    Reset();
    struct Expect { const wchar_t* folder; std::wstring path; Content content; bool goes; std::vector<std::wstring> before; } expects[] = {
        {L"Program Files\\ORVIK", folders_.ProgramFolder(), row.program, row.programGoes, {}},
        {L"start menu\\ORVIK", folders_.MenuFolder(), row.menu, row.menuGoes, {}},
        {L"start menu\\ORVIK Portivo", folders_.ProductMenuFolder(), row.productMenu, row.productMenuGoes, {}}};
    for (Expect& e : expects) {
      Make(e.path, e.content);
      e.before = ListTree(e.path, true);
    }
    if (HasFatalFailure()) return;

    runner::RunReport report = RunRemoval(L"-u3");
    EXPECT_EQ(0u, report.exit_code) << row.label;
    // What goes, goes; what stays is untouched inside; nothing appears that was not there.
    for (const Expect& e : expects) {
      const std::string label = row.label + (": " + Narrow(e.folder));
      EXPECT_EQ(e.content != Content::kNone && !e.goes, Exists(e.path)) << label;
      if (Exists(e.path)) EXPECT_EQ(e.before, ListTree(e.path, true)) << label;
      DeleteFileW((e.path + L"\\.x").c_str());  // the tree deletion leaves dot names
      DeleteFolderTree(e.path.c_str());
    }
  }
}

// ---- The Windows width -------------------------------------------------------------------------

// Runs in the prefix of each width: tests/CMakeLists.txt runs it again in a WINEARCH=win32 prefix.
class RemovalWidth : public Removal {};

TEST_F(RemovalWidth, EachWindowsWidthRunsItsOwnEmulatorSetup) {
  const bool wide = SixtyFourBitWindows();
  runner::RunReport report = RunRemoval(L"-u3");
  EXPECT_EQ(0u, report.exit_code);
  ExpectCleanUpThenEmulatorSetup(RemovalLog(), report.process_id, wide ? kOpeSetup64 : kOpeSetup32,
                                 wide ? "64-bit Windows" : "32-bit Windows");
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace e2e
