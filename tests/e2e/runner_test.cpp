// The runner and probe faults that would make installer cases pass wrongly: an exit code cut to
// 8 bits, a box misread or missed, a patched variant that is not what it claims, a probe that
// reports a released PORTS.dat or a raise it made itself.
#include "e2e_support.h"

namespace e2e {
namespace {

using runner::RunOptions;
using runner::RunReport;

TEST(RunnerBoxes, EachBoxIsReadAnsweredAndTheFullExitCodeKept) {
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
      {L"0x21", L"0x80000001", 0x80000001u, {IDOK, IDCANCEL}, runner::kBoxIconQuestion, IDOK},
      {L"0x30", L"259", 259, {IDOK}, runner::kBoxIconExclamation, IDOK},
      {L"0x40", L"-1", 0xFFFFFFFFu, {IDOK}, runner::kBoxIconAsterisk, IDOK},
      {L"0x4", L"65536", 65536, {IDYES, IDNO}, runner::kBoxIconNone, IDYES},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.style));
    const std::wstring record = folder / L"answers.txt";
    RunOptions options;
    options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
    options.env = {runner::SetEnv(L"PROBE_BOX_STYLE", row.style),
                   runner::SetEnv(L"PROBE_BOX_CAPTION", L"Orvik Portivo Ver.8.70b"),
                   runner::SetEnv(L"PROBE_BOX_TEXT", L"インストールに失敗しました。\r\n\"x\""),
                   runner::SetEnv(L"PROBE_EXIT", row.exitCode), runner::SetEnv(L"PROBE_RECORD", record)};
    options.timeout_ms = 30000;
    RunReport report;
    ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
    EXPECT_EQ(row.expectedExit, report.exit_code);
    ASSERT_EQ(1u, report.boxes.size());
    const runner::CapturedBox& box = report.boxes[0];
    EXPECT_EQ(L"Orvik Portivo Ver.8.70b", box.caption);
    EXPECT_EQ(L"インストールに失敗しました。\r\n\"x\"", box.text);
    EXPECT_EQ(row.buttons, box.buttons);
    EXPECT_EQ(row.icon, box.icon) << runner::BoxIconName(box.icon);
    EXPECT_FALSE(box.has_owner);
    EXPECT_EQ(row.answer, box.answered_with);
    runner::Fields answers;
    ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(record, &answers));
    EXPECT_EQ(std::to_string(row.answer), runner::ValueOf(answers, "answer"));
  }
}

// A second box, and how long each was shown, are what the failure-box cases judge by.
TEST(RunnerBoxes, BoxesOneAfterAnotherAreKeptInOrderForTheirDelay) {
  RunOptions options;
  options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
  options.env = {runner::SetEnv(L"PROBE_BOX_COUNT", L"2")};
  options.dismiss_after_ms = 700;
  RunReport report;
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
  ASSERT_EQ(2u, report.boxes.size());
  EXPECT_EQ(L"Probe text", report.boxes[0].text);
  EXPECT_EQ(L"Probe text 2", report.boxes[1].text);
  for (const runner::CapturedBox& box : report.boxes) {
    EXPECT_GE(box.shown_ms, 700u);
    EXPECT_LT(box.shown_ms, 3000u);
  }
  EXPECT_GE(report.boxes[1].appeared_ms, report.boxes[0].appeared_ms + 700);
}

TEST(RunnerResources, ACopyGetsOneResourceReplacedOrRemovedAndStillRuns) {
  ScratchFolder folder;
  std::vector<unsigned char> cabinet, original150;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadWholeFile(PORTIVO_PROBE_CABINET, &cabinet));
  ASSERT_GT(cabinet.size(), 3000000u);
  ASSERT_EQ(runner::kRunnerOk, runner::ReadRcdata(PORTIVO_PROBE_MSGBOX_EXE, 150, &original150));
  const std::vector<unsigned char> tiny = {0x0D, 0x0A, 0x1A, 0x00};
  struct Row { const char* what; const std::vector<unsigned char>* bytes; } rows[] = {
      {"grown far beyond the resource section", &cabinet}, {"shrunk to a few bytes", &tiny}, {"removed", nullptr}};
  const std::wstring copy = folder / L"variant.exe";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(runner::kRunnerOk, runner::CopyWithRcdata(PORTIVO_PROBE_MSGBOX_EXE, copy, 104, row.bytes));
    std::vector<unsigned char> now;
    if (row.bytes == nullptr) {
      EXPECT_EQ(runner::kRunnerResourceMissing, runner::ReadRcdata(copy, 104, &now));
    } else {
      ASSERT_EQ(runner::kRunnerOk, runner::ReadRcdata(copy, 104, &now));
      EXPECT_TRUE(now == *row.bytes);
    }
    ASSERT_EQ(runner::kRunnerOk, runner::ReadRcdata(copy, 150, &now));
    EXPECT_TRUE(now == original150) << "the other resource changed";
    RunOptions options;
    options.exe_path = copy;
    options.env = {runner::SetEnv(L"PROBE_EXIT", L"1001"), runner::SetEnv(L"PROBE_BOX_COUNT", L"0")};
    RunReport report;
    ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report)) << "start error " << report.start_error;
    EXPECT_EQ(1001u, report.exit_code) << "the patched copy no longer runs";
  }
  EXPECT_EQ(runner::kRunnerResourceMissing, runner::CopyWithRcdata(PORTIVO_PROBE_MSGBOX_EXE, copy, 999, nullptr));
}

// A work folder like the installer's: the probe as setup.exe beside a PORTS.dat.
std::wstring LayOutWorkFolder(const ScratchFolder& folder, const std::string& ports) {
  const std::wstring work = folder / L"work\\";
  CreateDirectoryW(work.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, (work + L"setup.exe").c_str(), FALSE));
  EXPECT_TRUE(WriteTestFile(work + L"PORTS.dat", ports));
  return work;
}

// The port cases expect the file released before the setup starts; the probe must tell a held one.
TEST(SetupProbe, APortsFileStillHeldOpenIsReportedAndCopiedAnyway) {
  ScratchFolder folder;
  const std::string ports("COM3\r\n\0\xff", 8);
  const std::wstring work = LayOutWorkFolder(folder, ports);
  HANDLE held = CreateFileW((work + L"PORTS.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const std::wstring record = folder / L"record.txt";
  RunOptions options;
  options.exe_path = work + L"setup.exe";
  options.env = {runner::SetEnv(L"PROBE_RECORD", record), runner::SetEnv(L"PROBE_POST", L"3")};
  RunReport report;
  ASSERT_EQ(runner::kRunnerOk, runner::RunInstaller(options, &report));
  CloseHandle(held);
  runner::Fields r;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(record, &r));
  EXPECT_EQ("0:", runner::ValueOf(r, "ports_exclusive_open").substr(0, 2));
  EXPECT_EQ((std::vector<std::string>{"3|no-window"}), runner::ValuesOf(r, "post"));
  EXPECT_EQ(ports, ReadTestFile(record + L".ports"));
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindProbeWindow(HWND hwnd, LPARAM param) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[260];
  if (pid == s->pid && GetClassNameW(hwnd, name, 260) && std::wstring(name) == s->className) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// "Raised once" in the dialog cases means raises by someone else: the probe's own window showing
// must not count, and a second raise must.
TEST(SetupProbe, CountsOnlyTheRaisesThatSomeoneElseMakes) {
  ScratchFolder folder;
  const std::wstring work = LayOutWorkFolder(folder, "");
  const std::wstring record = folder / L"record.txt";
  struct Row { int raises; const char* expected; } rows[] = {
      {0, "TSetDialog|0|0"}, {1, "TSetDialog|1|1"}, {2, "TSetDialog|2|1"}};
  for (const Row& row : rows) {
    RunOptions options;
    options.exe_path = work + L"setup.exe";
    options.env = {runner::SetEnv(L"PROBE_RECORD", record), runner::SetEnv(L"PROBE_WINDOW_CLASS", L"TSetDialog")};
    runner::RunningInstaller running;
    ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &running));
    WindowSearch dialog = {running.report.process_id, L"TSetDialog", nullptr};
    for (int i = 0; i < 300 && dialog.found == nullptr; ++i) {
      Sleep(10);
      EnumWindows(FindProbeWindow, reinterpret_cast<LPARAM>(&dialog));
    }
    EXPECT_NE(nullptr, dialog.found);
    for (int i = 0; i < row.raises; ++i) {
      // Like the installer: a pause, then the raise; a second raise needs the focus taken away.
      Sleep(700);
      if (i > 0) {
        WindowSearch anchor = {running.report.process_id, L"PortivoProbeAnchor", nullptr};
        EnumWindows(FindProbeWindow, reinterpret_cast<LPARAM>(&anchor));
        SetForegroundWindow(anchor.found);
        Sleep(300);
      }
      SetForegroundWindow(dialog.found);
    }
    EXPECT_EQ(runner::kRunnerOk, runner::WatchInstaller(&running, 20000));
    runner::StopInstaller(&running);
    runner::Fields r;
    ASSERT_EQ(runner::kRunnerOk, runner::ReadProbeRecord(record, &r));
    EXPECT_EQ(row.expected, runner::ValueOf(r, "window")) << row.raises << " raises";
  }
}

}  // namespace
}  // namespace e2e
