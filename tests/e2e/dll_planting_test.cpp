// A library planted beside the installer under a system library's name (say, in a downloads
// folder) must never be loaded by it.
//
// Wine loads its own builtin libraries whatever lies beside a program, so each program here is told
// through HKCU\Software\Wine\AppDefaults\<exe>\DllOverrides to prefer native ones, as Windows
// would take a library from the program's folder. A control program in the same folder loads
// comctl32.dll by name to show that the bench does see a planted load.
//
// version.dll cannot be judged under Wine: Wine's own user32 imports it, so with native libraries
// preferred every program in that folder loads the planted version.dll at start, before its first
// instruction runs. On Windows, user32 does not import it and it is a known system library. The
// case therefore asserts on comctl32.dll only.
#include <windows.h>

#include <string>
#include <vector>

#include "e2e_support.h"
#include "probe_paths.h"

namespace e2e {
namespace {

const wchar_t kInstallerCopy[] = L"PortivoPlantedCheck.exe";
const wchar_t kControlProgram[] = L"PortivoPlantedControl.exe";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\";

class DllPlanting : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_INSTALLER, (folder_ / kInstallerCopy).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_MSGBOX_EXE, (folder_ / kControlProgram).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_PLANTED_COMCTL32_DLL, (folder_ / L"comctl32.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_PLANTED_VERSION_DLL, (folder_ / L"version.dll").c_str(), FALSE));
    for (const wchar_t* program : {kInstallerCopy, kControlProgram}) {
      ASSERT_EQ(ERROR_SUCCESS, PreferNativeLibraries(program)) << Narrow(program);
    }
  }

  void TearDown() override {
    for (const wchar_t* program : {kInstallerCopy, kControlProgram}) {
      const std::wstring key = std::wstring(kAppDefaults) + program;
      RegDeleteKeyW(HKEY_CURRENT_USER, (key + L"\\DllOverrides").c_str());
      RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
      HKEY left;
      EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &left))
          << "AppDefaults of " << Narrow(program) << " stayed";
    }
    InstallerTest::TearDown();
  }

  static LONG PreferNativeLibraries(const wchar_t* program) {
    const std::wstring key = std::wstring(kAppDefaults) + program + L"\\DllOverrides";
    HKEY overrides;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &overrides, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const wchar_t order[] = L"native,builtin";
    for (const wchar_t* library : {L"comctl32", L"version"}) {
      if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(overrides, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
      }
    }
    RegCloseKey(overrides);
    return status;
  }

  // The planted libraries' load marks that name `dll`, for the process `program` of folder_.
  std::vector<std::string> PlantedLoads(const wchar_t* dll, const wchar_t* program) const {
    std::vector<runner::Fields> lines;
    EXPECT_EQ(runner::kRunnerOk, runner::ReadProbeLog(PlantedLog(), &lines));
    std::vector<std::string> loads;
    for (const runner::Fields& line : lines) {
      if (runner::ValueOf(line, "dll") == Narrow(dll) &&
          runner::ValueOf(line, "process") == Narrow(folder_ / program)) {
        loads.push_back(runner::ValueOf(line, "module"));
      }
    }
    return loads;
  }

  std::wstring PlantedLog() const { return records_ / L"planted-log.txt"; }

  ScratchFolder folder_;
};

TEST_F(DllPlanting, TheInstallerNeverLoadsAPlantedCommonControlsLibrary) {
  runner::RunReport control;
  runner::RunOptions options;
  options.exe_path = folder_ / kControlProgram;
  options.env = {runner::SetEnv(L"PROBE_LOAD_LIBRARY", L"comctl32.dll"), runner::SetEnv(L"PROBE_BOX_COUNT", L"0"),
                 runner::SetEnv(L"PROBE_PLANTED_RECORD", PlantedLog())};
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &control));
  ASSERT_EQ(1u, PlantedLoads(L"comctl32.dll", kControlProgram).size())
      << "the bench cannot see a planted load, so the case below proves nothing";

  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_PLANTED_RECORD", PlantedLog()),
                                          runner::SetEnv(L"PROBE_POST", L"8")},
                                 300, folder_ / kInstallerCopy);
  EXPECT_EQ(8u, report.exit_code) << "the installer did not run through";
  EXPECT_EQ(std::vector<std::string>{}, PlantedLoads(L"comctl32.dll", kInstallerCopy));
}

}  // namespace
}  // namespace e2e
