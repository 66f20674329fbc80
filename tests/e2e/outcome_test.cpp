// The exit code a deployment script sees: the setup's last posted outcome, or the installer's own
// result code when the setup failed; the work folder goes either way.
#include "e2e_support.h"

namespace e2e {
namespace {

class Outcome : public InstallerTest {};

TEST_F(Outcome, LastPostedOutcomeBecomesTheExitCodeUnlessTheSetupExitedWithTwo) {
  struct Row { const wchar_t* arguments; const wchar_t* posts; const wchar_t* setupExit; DWORD exitCode; bool box; } rows[] = {
      {L"-s1", L"0x20003", L"0", 3, false},  // low 16 bits only
      {L"-s1", L"", L"0", 0, false},         // nothing posted
      {L"-s1", L"5,7", L"0", 7, false},      // the last one wins
      {L"-s1", L"65535", L"0", 65535, false},
      {L"-s1", L"4", L"1", 4, false},        // other exit codes of the setup are ignored
      {L"-s1", L"4", L"259", 4, false},
      {L"-s1", L"4", L"1001", 4, false},
      {L"-s1", L"9", L"2", 1001, false},     // 2 fails the run, with the box only when interactive
      {L"", L"9", L"2", 1001, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.arguments) + " posts " + Narrow(row.posts) + " exits " + Narrow(row.setupExit));
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report =
        Run(row.arguments, {runner::SetEnv(L"PROBE_POST", row.posts), runner::SetEnv(L"PROBE_EXIT", row.setupExit)});
    EXPECT_EQ(row.exitCode, report.exit_code);
    EXPECT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
    ASSERT_EQ(row.box ? 1u : 0u, report.boxes.size());
    if (row.box) {
      EXPECT_EQ(L"Installation failed.", report.boxes[0].text);
    }
    EXPECT_FALSE(Exists(WorkFolder()));
  }
}

}  // namespace
}  // namespace e2e
