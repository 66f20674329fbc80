// The setup's run as the installer drives it: how it is started, and how its end becomes the
// installer's.

#include <iterator>

#include "e2e_support.h"

namespace e2e {
namespace {

// How the setup is started: its switches, the user's language, and the installer's whole command
// line in the quoted window argument, whose handle must be the installer's own window. (Its dialog
// is raised once while the setup is held, with the second instance.)
using SetupCommandLineLanguage = InstallerTest;

// Run under each user language by its own CTest entry (LANG=...): the quiet switches carry the
// language switch of the user's language. The log's switch, with the blanks after it, reaches
// nobody, and its log follows the run step by step.
TEST_F(SetupCommandLineLanguage, SetupGetsItsSwitchesAndTheQuotedWindowArgumentWithTheInstallersLine) {
  const std::string quiet = "/clone_wait /hide_progress " + Narrow(UserLanguageCase().languageSwitch);
  struct Row { std::wstring arguments; std::string switches; std::string quotedTail; } rows[] = {
      {L"", "/clone_wait", ""},
      {L"-s1  " + LogSwitch() + L"  -QX:COM3 -KD:LPT1 ", quiet, " -s1  -QX:COM3 -KD:LPT1 "},  // blanks kept inside the quotes
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("installer arguments \"" + Narrow(row.arguments) + "\"");
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"8")});
    // The posted outcome arriving proves the handle names the installer's own result window.
    EXPECT_EQ(8u, report.exit_code);
    EXPECT_TRUE(report.boxes.empty());
    const std::string handle = Recorded("w32_window");
    ASSERT_FALSE(handle.empty());
    EXPECT_EQ(Narrow(WorkFolder()) + "setup.exe " + row.switches + " \"/W32:" + handle + ":1024" + row.quotedTail + "\"",
              Recorded("command_line"));
  }
  const std::vector<std::wstring> log = LogLines();
  const std::string steps[] = {"Portivo Installer 8.70, " + Narrow(PORTIVO_PROBE_INSTALLER),
      "command line: " + Narrow(rows[1].arguments), "user language ", "driver mode check: ", "Windows version check: ",
      "lock Global\\Portivo Installer: taken", "lock Portivo Installer: taken", "single-instance check: passed", "administrator check: passed", "port check: QX port 3, KD port 33: passed",
      "payload check: 77 files, ", "work folder " + Narrow(WorkFolder()).substr(0, WorkFolder().size() - 1) + ": nothing",
      "wrote 77 files, ", "PORTS.dat written: ", "starting " + Recorded("command_line"),
      "started, process id " + Recorded("pid"), "no dialog of the program was raised",
      "the program ended with exit code 0 (0x00000000)", "work folder deleted", "the setup posted outcome 8",
      "event 200 recorded in the Application log", "exit code 8: the outcome the setup posted"};
  ASSERT_EQ(std::size(steps), log.size());
  for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(0u, Narrow(log[i]).find(steps[i])) << Narrow(log[i]);
  EXPECT_NE(std::wstring::npos, log[2].find(UserLanguageCase().messageSet)) << Narrow(log[2]);
}

// The end of a run as a deployment script and a person see it: the exit code, read in full inside
// Wine (the setup's last posted outcome, or the installer's own result code when the setup failed),
// and the failure box: what it says, in which language, that it waits for the person to close it;
// and the damaged installer that a quiet run refuses without one.
class RunEnd : public InstallerTest {
 protected:
  ScratchFolder scratch_;
};

// The last of several outcomes wins, past 8 bits; a setup's own exit code other than 2 ("still
// active" is even polled for a while) is ignored, but a crash fails the run whatever was posted
// before. Quiet, so no box; the work folder goes.
TEST_F(RunEnd, LastPostedOutcomeBecomesTheExitCodeUnlessTheSetupCrashed) {
  struct Row { const wchar_t* posts; const wchar_t* setupExit; DWORD exitCode; const char* lastLogLine; } rows[] = {
      {L"5,65535", L"259", 65535, "exit code 65535: the outcome the setup posted (0 when it posted none)"},
      {L"0", L"crash", 1001, "exit code 1001: the setup crashed (exit code 0xC0000005)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("posts " + Narrow(row.posts) + " exits " + Narrow(row.setupExit));
    runner::RunReport report = Run(L"-s1 " + LogSwitch(), {runner::SetEnv(L"PROBE_POST", row.posts),
                                                          runner::SetEnv(L"PROBE_EXIT", row.setupExit)});
    EXPECT_EQ(row.exitCode, report.exit_code);
    EXPECT_EQ(row.lastLogLine, LastLogLine());
    EXPECT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
    EXPECT_TRUE(report.boxes.empty());
    EXPECT_FALSE(Exists(WorkFolder()));
  }
}

using BoxLanguage = RunEnd;

// A damaged installer is refused before anything is written, and its log names the file: a variant
// without setup.exe (resource 104) run interactively shows one ownerless stop box in the user's
// language (each user language has its own CTest entry, LANG=...); one with a byte changed in a
// file the setup would only read later, run quietly, shows none.
TEST_F(BoxLanguage, ADamagedInstallerWritesNothingAndSaysWhy) {
  WORD cabinet = 0;
  for (const PayloadEntry& row : InstallSet) {
    if (PayloadRelativePath(row) == L"data1.cab") cabinet = row.resourceId;
  }
  const std::wstring missing = scratch_ / L"missing.exe", damaged = scratch_ / L"damaged.exe";
  ASSERT_EQ(runner::kRunnerOk, runner::CopyWithRcdata(PORTIVO_PROBE_INSTALLER, missing, 104, nullptr));
  ASSERT_TRUE(CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, damaged, cabinet));
  struct Row { std::wstring installer, arguments; std::string logLine; } rows[] = {
      {missing, L"", "payload check: setup.exe (resource 104) is damaged"},
      {damaged, L"-s1 ", "payload check: data1.cab (resource " + std::to_string(cabinet) + ") is damaged: expected 3670037"},
  };
  for (const Row& row : rows) {
    const std::vector<std::wstring> tempBefore = ListTree(TempFolder());
    runner::RunReport report = Run(row.arguments + LogSwitch(), {}, row.installer);
    EXPECT_EQ(1001u, report.exit_code);
    const std::vector<std::wstring> log = LogLines();
    const auto check = std::find_if(log.begin(), log.end(), [](const std::wstring& line) { return line.find(L"payload check: ") == 0; });
    ASSERT_NE(log.end(), check);
    EXPECT_EQ(0u, Narrow(*check).find(row.logLine)) << Narrow(*check);
    EXPECT_EQ("exit code 1001: the installer is damaged: a payload file does not match its digest", Narrow(log.back()));
    EXPECT_TRUE(SetupRecord().empty()) << "something was started";
    EXPECT_EQ(tempBefore, ListTree(TempFolder())) << "something was written to the temporary folder";
    ASSERT_EQ(row.arguments.empty() ? 1u : 0u, report.boxes.size());
    if (report.boxes.empty()) continue;
    const runner::CapturedBox& box = report.boxes[0];
    EXPECT_EQ(L"Orvik Portivo Ver.8.70b", box.caption);
    EXPECT_EQ(std::wstring(UserLanguageCase().installFailedText), box.text) << runner::DescribeBox(box);
    EXPECT_EQ(runner::kBoxIconHand, box.icon) << runner::BoxIconName(box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_FALSE(box.has_owner);
  }
}

// The setup goes on for seconds after its dialog was raised and then crashes, which is known only
// at its end. Its outcome and end messages are still queued when the box appears; they must not
// close it. The runner answers only after three seconds, so a box that went earlier shows a
// shorter time and no answer.
TEST_F(RunEnd, StaysUntilThePersonClosesItAfterALongSetupThatPostedAndCrashed) {
  const DWORD waitMs = 3000;
  runner::RunReport report = Run(LogSwitch(), {runner::SetEnv(L"PROBE_EXIT", L"crash"), runner::SetEnv(L"PROBE_POST", L"9,10"),
                                               runner::SetEnv(L"PROBE_WINDOW_CLASS", L"TSetDialog")},
                                 PORTIVO_PROBE_INSTALLER, waitMs);
  EXPECT_EQ("exit code 1001: the setup crashed (exit code 0xC0000005)", LastLogLine());
  EXPECT_EQ((std::vector<std::string>{"9|ok", "10|ok"}), runner::ValuesOf(SetupRecord(), "post"));
  EXPECT_EQ(1001u, report.exit_code);
  ASSERT_EQ(1u, report.boxes.size());
  EXPECT_EQ(L"Installation failed.", report.boxes[0].text);
  EXPECT_GE(report.boxes[0].shown_ms, waitMs - 100) << "the box went before anyone answered it";
  EXPECT_EQ(IDOK, report.boxes[0].answered_with);
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace e2e
