// What every end-to-end case needs: the installer built around the probe package, a fresh record
// folder, no work folder left by an earlier case, and one call that runs the installer as an
// administrator or a deployment script would.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_paths.h"
#include "installer_runner.h"
#include "payload/delete_tree.h"
#include "probe_record.h"
#include "scratch_folder.h"

namespace e2e {

inline std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// Where the installer unpacks; the same for every run.
inline std::wstring WorkFolder() {
  return TempFolder() + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
}

inline std::string Narrow(const std::wstring& text) { return runner::Utf8FromWide(text); }

// Base fixture: records go into a fresh folder, and the work folder is gone before and after.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFolderTree(WorkFolder());
    ASSERT_FALSE(Exists(WorkFolder())) << "a work folder from an earlier run could not be removed";
  }
  void TearDown() override { DeleteFolderTree(WorkFolder()); }

  std::wstring RecordPath() const { return records_ / L"setup-record.txt"; }
  std::wstring RemovalLogPath() const { return records_ / L"removal-log.txt"; }

  // Runs the probe installer with arguments and probe controls; boxes are answered after
  // dismissAfterMs. The record of the setup probe goes to RecordPath(). An empty currentFolder
  // leaves the installer in the test's own.
  runner::RunReport Run(const std::wstring& arguments, std::vector<runner::EnvChange> env = {},
                        DWORD dismissAfterMs = 300, const std::wstring& installer = PORTIVO_PROBE_INSTALLER,
                        const std::wstring& currentFolder = L"") {
    runner::RunOptions options;
    options.exe_path = installer;
    options.arguments = arguments;
    options.current_folder = currentFolder;
    options.env = std::move(env);
    options.env.push_back(runner::SetEnv(L"PROBE_RECORD", RecordPath()));
    options.env.push_back(runner::SetEnv(L"PROBE_REMOVAL_RECORD", RemovalLogPath()));
    options.dismiss_after_ms = dismissAfterMs;
    options.timeout_ms = 120000;
    runner::RunReport report;
    int status = runner::RunInstaller(options, &report);
    EXPECT_EQ(runner::kRunnerOk, status) << "the installer did not run to its end";
    return report;
  }

  // The setup probe's record; empty when the setup never ran.
  runner::Fields SetupRecord() const {
    runner::Fields record;
    if (runner::ReadProbeRecord(RecordPath(), &record) != runner::kRunnerOk) record.clear();
    return record;
  }

  std::string Recorded(const std::string& key) const { return runner::ValueOf(SetupRecord(), key); }

  ScratchFolder records_;
};

}  // namespace e2e
