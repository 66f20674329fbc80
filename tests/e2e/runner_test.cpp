// The runner faults that would make installer cases pass wrongly: an exit code cut to 8 bits, a box
// misread, missed or not answered. A probe program shows a box of the given style and exits with
// the given code.
#include "e2e_support.h"

namespace e2e {
namespace {

TEST(Runner, EachBoxIsReadAndAnsweredAndTheFullExitCodeKept) {
  ScratchFolder folder;
  struct Row {
    const wchar_t* style;
    const wchar_t* exitCode;
    DWORD expectedExit;
    std::vector<int> buttons;
    runner::BoxIcon icon;
    int answer;
  } rows[] = {
      {L"0x10", L"1001", 1001, {IDOK}, runner::kBoxIconHand, IDOK},
      {L"0x24", L"0x80000001", 0x80000001u, {IDYES, IDNO}, runner::kBoxIconQuestion, IDYES},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.style));
    const std::wstring record = folder / L"answers.txt";
    runner::RunOptions options;
    options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
    options.env = {runner::SetEnv(L"PROBE_BOX_STYLE", row.style), runner::SetEnv(L"PROBE_BOX_CAPTION", L"Caption"),
                   runner::SetEnv(L"PROBE_BOX_TEXT", L"インストールに失敗しました。\r\n\"x\""),
                   runner::SetEnv(L"PROBE_EXIT", row.exitCode), runner::SetEnv(L"PROBE_RECORD", record)};
    options.dismiss_after_ms = 700;
    runner::RunReport report;
    ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
    EXPECT_EQ(row.expectedExit, report.exit_code);
    ASSERT_EQ(1u, report.boxes.size());
    const runner::CapturedBox& box = report.boxes[0];
    EXPECT_EQ(L"Caption", box.caption);
    EXPECT_EQ(L"インストールに失敗しました。\r\n\"x\"", box.text);
    EXPECT_EQ(row.buttons, box.buttons);
    EXPECT_EQ(row.icon, box.icon) << runner::BoxIconName(box.icon);
    EXPECT_GE(box.shown_ms, 700u);
    runner::Fields answers;
    ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(record, &answers));
    EXPECT_EQ(std::to_string(row.answer), runner::ValueOf(answers, "answer"));
  }
}

}  // namespace
}  // namespace e2e
