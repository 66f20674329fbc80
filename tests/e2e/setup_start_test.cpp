// How the setup is started: its switches, the user's language, and the installer's whole command
// line in the quoted window argument, whose handle must be the installer's own window; and its
// dialog brought forward once, a window whose class name holds one of the two dialog names.
#include "e2e_support.h"

namespace e2e {
namespace {

class SetupStart : public InstallerTest {};
using SetupCommandLineLanguage = SetupStart;

// Run under each user language by its own CTest entry (LANG=...): the quiet switches carry the
// language switch of the user's language.
TEST_F(SetupCommandLineLanguage, SetupGetsItsSwitchesAndTheQuotedWindowArgumentWithTheInstallersLine) {
  const std::string quiet = "/clone_wait /hide_progress " + Narrow(UserLanguageCase().languageSwitch);
  struct Row { const wchar_t* arguments; std::string switches; std::string quotedTail; } rows[] = {
      {L"", "/clone_wait", ""},
      {L"-s1  -QX:COM3 -KD:LPT1 ", quiet, " -s1  -QX:COM3 -KD:LPT1 "},  // blanks kept inside the quotes
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
}

TEST_F(SetupStart, AWindowWhoseClassHoldsADialogNameIsRaisedOnce) {
  // "<class>|<times raised by others>|..." as the setup probe records its window.
  for (const wchar_t* windowClass : {L"XTSetDialogY", L"MsiDialogCloseClass"}) {
    const std::string name = Narrow(windowClass);
    runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_WINDOW_CLASS", windowClass),
                                            runner::SetEnv(L"PROBE_WINDOW_MS", L"3000"),
                                            runner::SetEnv(L"PROBE_POST", L"6")});
    EXPECT_EQ(6u, report.exit_code) << name;
    const std::string window = Recorded("window");
    EXPECT_EQ(name + "|1", window.substr(0, window.rfind('|'))) << name;
  }
}

}  // namespace
}  // namespace e2e
