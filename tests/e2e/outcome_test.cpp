// The exit code a deployment script sees, read in full inside Wine: the setup's last posted
// outcome, or the installer's own result code when the setup failed; the work folder goes either way.
#include "e2e_support.h"

namespace e2e {
namespace {

class Outcome : public InstallerTest {};

TEST_F(Outcome, LastPostedOutcomeBecomesTheExitCodeUnlessTheSetupExitedWithTwo) {
  struct Row { const wchar_t* posts; const wchar_t* setupExit; DWORD exitCode; } rows[] = {
      {L"5,65535", L"259", 65535},  // the last wins, past 8 bits; "still active" is polled, then ignored
      {L"", L"1", 0},               // nothing posted
      {L"9", L"2", 1001},           // 2 fails the run; quiet, so without a box
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("posts " + Narrow(row.posts) + " exits " + Narrow(row.setupExit));
    runner::RunReport report =
        Run(L"-s1", {runner::SetEnv(L"PROBE_POST", row.posts), runner::SetEnv(L"PROBE_EXIT", row.setupExit)});
    EXPECT_EQ(row.exitCode, report.exit_code);
    EXPECT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
    EXPECT_TRUE(report.boxes.empty());
    EXPECT_FALSE(Exists(WorkFolder()));
  }
}

}  // namespace
}  // namespace e2e
