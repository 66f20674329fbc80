// Bringing the setup's dialog forward: a window of the setup whose class name holds one of the two
// dialog names is raised once, and the setup is waited for and its outcome relayed.
#include "e2e_support.h"

namespace e2e {
namespace {

class DialogRaise : public InstallerTest {};

TEST_F(DialogRaise, AWindowWhoseClassHoldsADialogNameIsRaisedOnce) {
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
