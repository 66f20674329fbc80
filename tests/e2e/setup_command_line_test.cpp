// What the setup is started with: the exact command line for each way the installer is run, the
// folder it runs in, and the length at which the installer refuses to start it.
#include "e2e_support.h"

namespace e2e {
namespace {

class SetupCommandLine : public InstallerTest {
 protected:
  // The hidden window's handle as the setup received it: the decimal number after "/W32:".
  static std::string HandleIn(const std::string& commandLine) {
    const std::size_t at = commandLine.find("/W32:");
    if (at == std::string::npos) return "";
    const std::size_t end = commandLine.find_first_not_of("0123456789", at + 5);
    return commandLine.substr(at + 5, end == std::string::npos ? std::string::npos : end - at - 5);
  }

  // Path and arguments together, as the setup received them: its command line is the two joined
  // by one blank. 0 when the setup did not run.
  std::size_t PathAndArgumentsLength() const {
    const std::wstring line = runner::WideFromUtf8(Recorded("command_line"));
    return line.empty() ? 0 : line.size() - 1;
  }

  // Runs the probe installer interactively like Run(), its setup posting 8, and reads the decimal
  // handle of the installer's hidden window while it runs ("" when it was never seen).
  runner::RunReport RunNotingWindow(const std::wstring& arguments, std::string* handle) {
    runner::RunOptions options;
    options.exe_path = PORTIVO_PROBE_INSTALLER;
    options.arguments = arguments;
    options.env = {runner::SetEnv(L"PROBE_RECORD", RecordPath()), runner::SetEnv(L"PROBE_POST", L"8")};
    runner::RunningInstaller running;
    EXPECT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &running));
    HWND window = nullptr;
    int status = runner::kRunnerStillRunning;
    const DWORD start = GetTickCount();
    while (status == runner::kRunnerStillRunning && GetTickCount() - start < 60000) {
      if (window == nullptr) window = FindWindowW(L"Portivo Installer", nullptr);
      status = runner::WatchInstaller(&running, 1);
    }
    EXPECT_EQ(runner::kRunnerOk, status) << "the installer did not end";
    runner::StopInstaller(&running);
    *handle = window == nullptr ? "" : std::to_string(static_cast<long long>(reinterpret_cast<LONG_PTR>(window)));
    return running.report;
  }
};

using SetupCommandLineLanguage = SetupCommandLine;

// Run under each user language by its own CTest entry (LANG=...): the quiet switches carry the
// language switch of the user's language.
TEST_F(SetupCommandLineLanguage, SetupGetsItsSwitchesAndTheQuotedWindowArgumentWithTheInstallersLine) {
  // No kernel-mode driver key: "-KM" then writes no marks, and the prefix stays as it was.
  ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));
  const std::string quiet = "/clone_wait /hide_progress " + Narrow(UserLanguageCase().languageSwitch);
  struct Row { const wchar_t* arguments; std::string switches; std::string quotedTail; } rows[] = {
      {L"", "/clone_wait", ""},
      {L"-s1", quiet, " -s1"},
      {L"-u1", quiet, " -u1"},
      {L"-S1 -KM -mode 3 ", quiet, " -S1 -KM -mode 3 "},  // the trailing blank stays inside the quotes
      {L"-s1  -QX:COM3 -KD:LPT1", quiet, " -s1  -QX:COM3 -KD:LPT1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("installer arguments \"" + Narrow(row.arguments) + "\"");
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"8")});
    // The posted outcome arriving proves the handle names the installer's own result window.
    EXPECT_EQ(8u, report.exit_code);
    EXPECT_TRUE(report.boxes.empty());
    const std::string commandLine = Recorded("command_line");
    const std::string handle = HandleIn(commandLine);
    ASSERT_FALSE(handle.empty()) << commandLine;
    EXPECT_EQ(Narrow(WorkFolder()) + "setup.exe " + row.switches + " \"/W32:" + handle + ":1024" + row.quotedTail + "\"",
              commandLine);
    EXPECT_EQ(handle, Recorded("w32_window"));
    EXPECT_EQ("1024", Recorded("w32_message"));
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));
}

TEST_F(SetupCommandLine, SetupRunsInTheInstallersCurrentFolderNotTheWorkFolder) {
  ScratchFolder current;
  runner::RunReport report = Run(L"-s1", {}, 300, PORTIVO_PROBE_INSTALLER, current.path());
  EXPECT_EQ(0u, report.exit_code);
  EXPECT_EQ(Narrow(current.path()), Recorded("current_folder"));
  EXPECT_EQ(Narrow(WorkFolder() + L"setup.exe"), Recorded("module_path"));
}

// The setup's path and arguments together may be 1022 characters long; at 1023 the installer starts
// nothing and fails with 1001. The length depends on the hidden window's handle, whose decimal
// digits change from run to run, so each run's handle is read while the installer runs (the window
// lives on under the failure box) and the run judged by the length it really composed.
TEST_F(SetupCommandLine, PathAndArgumentsOf1022CharactersStartTheSetupAndOneMoreDoesNot) {
  const std::size_t limit = 1022;
  std::string handle;
  const std::size_t shortPadding = 10;
  runner::RunReport first = RunNotingWindow(std::wstring(shortPadding, L'x'), &handle);
  ASSERT_EQ(8u, first.exit_code);
  ASSERT_EQ(handle, Recorded("w32_window")) << "the window read is not the setup's result window";
  // Everything but the handle and the installer's own arguments.
  const std::size_t fixed = PathAndArgumentsLength() - handle.size() - shortPadding;

  bool sawLimit = false, sawOverLimit = false;
  for (int run = 0; run < 6 && !(sawLimit && sawOverLimit); ++run) {
    const std::size_t target = sawLimit ? limit + 1 : limit;
    const std::size_t padding = target - fixed - handle.size();
    DeleteFileW(RecordPath().c_str());
    runner::RunReport report = RunNotingWindow(std::wstring(padding, L'x'), &handle);
    ASSERT_FALSE(handle.empty()) << "the installer's window was not seen";
    const std::size_t composed = fixed + handle.size() + padding;
    SCOPED_TRACE("path and arguments of " + std::to_string(composed) + " characters");
    const std::size_t received = PathAndArgumentsLength();
    if (composed <= limit) {
      EXPECT_EQ(composed, received) << "not started, or started with another command line";
      EXPECT_EQ(8u, report.exit_code);
      EXPECT_TRUE(report.boxes.empty());
    } else {
      EXPECT_EQ(0u, received) << "started";
      EXPECT_EQ(1001u, report.exit_code);
      ASSERT_EQ(1u, report.boxes.size());
      EXPECT_EQ(std::wstring(UserLanguageCase().installFailedText), report.boxes[0].text);
    }
    EXPECT_FALSE(Exists(WorkFolder()));
    sawLimit = sawLimit || composed == limit;
    sawOverLimit = sawOverLimit || composed == limit + 1;
  }
  EXPECT_TRUE(sawLimit && sawOverLimit) << "the handle's length kept changing";
}

}  // namespace
}  // namespace e2e
