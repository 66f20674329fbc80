// Bringing the setup's dialog forward: the first window of the setup whose class name holds one of
// the two dialog names is raised once; any other is left alone, and the setup is waited for and its
// outcome relayed either way.
#include "e2e_support.h"

namespace e2e {
namespace {

class DialogRaise : public InstallerTest {
 protected:
  // "<class>|<times raised>" for each window the setup showed, in the order it showed them.
  std::vector<std::string> Raises() const {
    std::vector<std::string> raises;
    for (const std::string& window : runner::ValuesOf(SetupRecord(), "window")) {
      raises.push_back(window.substr(0, window.rfind('|')));
    }
    return raises;
  }
};

TEST_F(DialogRaise, AWindowWhoseClassHoldsADialogNameIsRaisedOnce) {
  typedef std::vector<std::string> Raised;
  struct Row { const wchar_t* classes; std::vector<Raised> allowed; } rows[] = {
      {L"XTSetDialogY", {{"XTSetDialogY|1"}}},  // the name inside a longer class name
      {L"MsiDialogCloseClass", {{"MsiDialogCloseClass|1"}}},
      // Two dialogs at once: the search stops at the first one it raises.
      {L"ATSetDialog,BTSetDialog", {{"ATSetDialog|1", "BTSetDialog|0"}, {"ATSetDialog|0", "BTSetDialog|1"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.classes));
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_WINDOW_CLASS", row.classes),
                                            runner::SetEnv(L"PROBE_WINDOW_MS", L"3000"),
                                            runner::SetEnv(L"PROBE_POST", L"6")});
    EXPECT_EQ(6u, report.exit_code);
    const Raised raises = Raises();
    EXPECT_NE(row.allowed.end(), std::find(row.allowed.begin(), row.allowed.end(), raises))
        << (raises.empty() ? "no window" : raises[0]);
  }
}

// The class-name test is case-sensitive, so a lower-case look-alike is no dialog. The search
// gives up after 5001 looks (about ten seconds under Wine here); the setup outlives it and is still
// waited for to its end, its outcome relayed and its own exit code ignored.
TEST_F(DialogRaise, SetupShowingOnlyALowerCaseLookAlikeIsNotRaisedButWaitedFor) {
  runner::RunReport report = Run(L"-s1", {runner::SetEnv(L"PROBE_WINDOW_CLASS", L"tsetdialog"),
                                          runner::SetEnv(L"PROBE_WINDOW_MS", L"12000"),
                                          runner::SetEnv(L"PROBE_POST", L"6"),
                                          runner::SetEnv(L"PROBE_EXIT", L"5")});
  EXPECT_EQ(6u, report.exit_code);
  EXPECT_EQ(std::vector<std::string>{"tsetdialog|0"}, Raises());
  EXPECT_EQ("1", Recorded("complete"));
  EXPECT_GE(report.elapsed_ms, 12000u);
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace e2e
