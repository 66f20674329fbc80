// A library planted beside the installer under a system library's name (say, in a downloads
// folder) must never be loaded by it.
//
// Wine loads its builtin libraries whatever lies beside a program, so each program here is told
// (AppDefaults\<exe>\DllOverrides) to prefer native ones, as Windows would. A control program in
// the same folder shows that the bench does see a planted load. (version.dll cannot be judged under
// Wine: its own user32 imports it, so every program there loads a planted copy at start.)
#include "e2e_support.h"

namespace e2e {
namespace {

const wchar_t kInstallerCopy[] = L"PortivoPlantedCheck.exe";
const wchar_t kControlProgram[] = L"PortivoPlantedControl.exe";

class DllPlanting : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_INSTALLER, (folder_ / kInstallerCopy).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_MSGBOX_EXE, (folder_ / kControlProgram).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_PLANTED_COMCTL32_DLL, (folder_ / L"comctl32.dll").c_str(), FALSE));
    for (const wchar_t* program : {kInstallerCopy, kControlProgram}) {
      ASSERT_TRUE(SetText(HKEY_CURRENT_USER, Overrides(program), L"comctl32", REG_SZ, L"native,builtin"));
    }
  }
  void TearDown() override {
    for (const wchar_t* program : {kInstallerCopy, kControlProgram}) {
      RegDeleteKeyW(HKEY_CURRENT_USER, Overrides(program).c_str());
      RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + std::wstring(program)).c_str());
    }
    InstallerTest::TearDown();
  }
  static std::wstring Overrides(const wchar_t* program) {
    return L"Software\\Wine\\AppDefaults\\" + std::wstring(program) + L"\\DllOverrides";
  }

  // The load marks of the planted comctl32.dll in a run's log.
  static std::size_t PlantedLoads(const std::wstring& log) {
    std::vector<runner::Fields> lines;
    if (runner::ReadProbeLog(log, &lines) != runner::kRunnerOk) return 0;
    return std::count_if(lines.begin(), lines.end(),
                         [](const runner::Fields& line) { return runner::ValueOf(line, "dll") == "comctl32.dll"; });
  }

  ScratchFolder folder_;
};

TEST_F(DllPlanting, TheInstallerNeverLoadsAPlantedCommonControlsLibrary) {
  runner::RunReport control;
  runner::RunOptions options;
  options.exe_path = folder_ / kControlProgram;
  options.env = {runner::SetEnv(L"PROBE_LOAD_LIBRARY", L"comctl32.dll"), runner::SetEnv(L"PROBE_BOX_COUNT", L"0"),
                 runner::SetEnv(L"PROBE_PLANTED_RECORD", records_ / L"control-log.txt")};
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &control));
  ASSERT_EQ(1u, PlantedLoads(records_ / L"control-log.txt")) << "the bench cannot see a planted load";

  const std::wstring log = records_ / L"installer-log.txt";
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_PLANTED_RECORD", log),
                                          runner::SetEnv(L"PROBE_POST", L"8")},
                                 folder_ / kInstallerCopy);
  EXPECT_EQ(8u, report.exit_code) << "the installer did not run through";
  EXPECT_EQ(0u, PlantedLoads(log));
}

}  // namespace
}  // namespace e2e
