// The runner faults that would make installer cases pass wrongly: an exit code cut to 8 bits, and
// a box misread or not answered. (The installer cases expect a stop icon and OK alone, so the
// probe box here shows the other icon and buttons.)
#include "e2e_support.h"

namespace e2e {
namespace {

TEST(Runner, ABoxIsReadAndAnsweredAndTheFullExitCodeKept) {
  ScratchFolder folder;
  const std::wstring record = folder / L"answers.txt";
  runner::RunOptions options;
  options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
  options.env = {runner::SetEnv(L"PROBE_BOX_STYLE", L"0x24"), runner::SetEnv(L"PROBE_BOX_CAPTION", L"Caption"),
                 runner::SetEnv(L"PROBE_BOX_TEXT", L"インストールに失敗しました。\r\n\"x\""),
                 runner::SetEnv(L"PROBE_EXIT", L"0x80000001"), runner::SetEnv(L"PROBE_RECORD", record)};
  options.dismiss_after_ms = 700;
  runner::RunReport report;
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
  EXPECT_EQ(0x80000001u, report.exit_code);
  ASSERT_EQ(1u, report.boxes.size());
  const runner::CapturedBox& box = report.boxes[0];
  EXPECT_EQ(L"Caption", box.caption);
  EXPECT_EQ(L"インストールに失敗しました。\r\n\"x\"", box.text);
  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
  EXPECT_EQ(runner::kBoxIconQuestion, box.icon) << runner::BoxIconName(box.icon);
  EXPECT_GE(box.shown_ms, 700u);
  runner::Fields answers;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(record, &answers));
  EXPECT_EQ(std::to_string(IDYES), runner::ValueOf(answers, "answer"));
}

}  // namespace
}  // namespace e2e
