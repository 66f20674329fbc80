// The exit code a deployment script sees: the setup's last posted outcome, or the installer's own
// result code when the setup failed.
#include "e2e_support.h"

namespace e2e {
namespace {

class Outcome : public InstallerTest {};

TEST_F(Outcome, LastPostedOutcomeBecomesTheExitCodeAndTheWorkFolderGoes) {
  struct Row { const wchar_t* posts; DWORD exitCode; } rows[] = {
      {L"0x20003", 3},  // low 16 bits only
      {L"", 0},         // nothing posted
      {L"5,7", 7},      // the last one wins
      {L"65535", 65535},
  };
  for (const Row& row : rows) {
    runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_POST", row.posts)});
    EXPECT_EQ(row.exitCode, report.exit_code) << Narrow(row.posts);
    EXPECT_TRUE(report.boxes.empty());
    EXPECT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
    EXPECT_FALSE(Exists(WorkFolder())) << Narrow(row.posts);
  }
}

TEST_F(Outcome, SetupExitingWithTwoFailsTheRunWithItsBoxOnlyWhenInteractive) {
  runner::RunReport quiet = Run(L"-s1", {runner::SetEnv(L"PROBE_EXIT", L"2"), runner::SetEnv(L"PROBE_POST", L"9")});
  EXPECT_EQ(1001u, quiet.exit_code);
  EXPECT_TRUE(quiet.boxes.empty());
  EXPECT_FALSE(Exists(WorkFolder()));

  runner::RunReport interactive = Run(L"", {runner::SetEnv(L"PROBE_EXIT", L"2"), runner::SetEnv(L"PROBE_POST", L"9")});
  EXPECT_EQ(1001u, interactive.exit_code);
  ASSERT_EQ(1u, interactive.boxes.size());
  EXPECT_EQ(L"Installation failed.", interactive.boxes[0].text);
  EXPECT_FALSE(Exists(WorkFolder()));
}

TEST_F(Outcome, OtherSetupExitCodesAreIgnored) {
  for (const wchar_t* code : {L"1", L"259", L"1001"}) {
    runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_EXIT", code), runner::SetEnv(L"PROBE_POST", L"4")});
    EXPECT_EQ(4u, report.exit_code) << Narrow(code);
  }
}

}  // namespace
}  // namespace e2e
