// The kernel-mode marks seen from outside: after the setup of an install run started with "-KM",
// the driver's service key holds "KM" = 1 and, with "-mode", "CustomerType"; nothing else writes
// them, and a missing service key is not made. (That a later run reads "KM" back is the start-up
// checks' driver-mode table.)
#include <ostream>

#include "e2e_support.h"

namespace e2e {
namespace {

const DWORD kPostedCode = 9;
const wchar_t kPosted[] = L"9";

// What the service key holds after a run.
struct Marks {
  RegValue customerType;
  RegValue kernelMode;
};

Marks ReadMarks() {
  return Marks{ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType"),
               ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM")};
}

// Absent, or a 4-byte REG_DWORD holding `expected`.
void ExpectDword(const RegValue& value, bool present, DWORD expected, const std::string& label) {
  ASSERT_EQ(present, value.present) << label;
  if (!present) return;
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type) << label;
  EXPECT_EQ(4u, value.data.size()) << label;
  EXPECT_EQ(expected, value.AsDword()) << label;
}

struct MarksRow {
  const wchar_t* arguments;
  bool seedCustomerType;  // an earlier "CustomerType" of 7 in the key
  bool customerType;      // present afterwards
  DWORD customerTypeValue;
  bool kernelMode;        // "KM" = 1 afterwards
};

std::string Label(const MarksRow& row) { return "\"" + Narrow(row.arguments) + "\""; }

void PrintTo(const MarksRow& row, std::ostream* out) { *out << Label(row); }

// The kernel-mode driver's service key exists (no emulator service), without "KM" at the start.
class KernelModeMarks : public ServiceKeysTest, public testing::WithParamInterface<MarksRow> {
 protected:
  void SetUp() override {
    ServiceKeysTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
  }
};

TEST_P(KernelModeMarks, AreWrittenAfterTheSetupAsTheCommandLineAsks) {
  const MarksRow& row = GetParam();
  if (row.seedCustomerType) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType", 7));
  runner::RunReport report = Run(row.arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
  EXPECT_EQ(kPostedCode, report.exit_code) << Label(row);
  EXPECT_TRUE(report.boxes.empty()) << Label(row);
  EXPECT_EQ("1", Recorded("complete")) << Label(row) << ": the setup did not run";
  EXPECT_FALSE(Exists(WorkFolder())) << Label(row);
  const Marks marks = ReadMarks();
  ExpectDword(marks.customerType, row.customerType, row.customerTypeValue, Label(row) + " CustomerType");
  ExpectDword(marks.kernelMode, row.kernelMode, 1, Label(row) + " KM");
}

INSTANTIATE_TEST_SUITE_P(
    Table, KernelModeMarks,
    testing::Values(
        MarksRow{L"-s1 -km -mode2", false, true, 2, true},
        MarksRow{L"-s1 -KM -mode 3", false, true, 3, true},  // the blank is skipped
        MarksRow{L"-s1 -KM -modeX", false, true, 0, true},   // no digits: 0
        MarksRow{L"-s1 -KM -mode5", true, true, 5, true},    // replaces an earlier one
        MarksRow{L"-s1 -km", true, true, 7, true},           // an earlier one stays
        MarksRow{L"-s1 -KM", false, false, 0, true},
        MarksRow{L"-u1 -KM -mode4", false, true, 4, true},   // a quiet uninstall too
        MarksRow{L"-KM -mode6", false, true, 6, true},       // and an interactive run
        MarksRow{L"-s1 -Km -mode2", true, true, 7, false},  // no kernel-mode switch
        MarksRow{L"-s1 -mode 3", true, true, 7, false},     // "-mode" alone
        MarksRow{L"-s1", false, false, 0, false}));

class KernelModeMarksRun : public ServiceKeysTest {};

// While the setup runs nothing is written yet; the marks come once it has ended.
TEST_F(KernelModeMarksRun, ComeAfterTheSetupHasEnded) {
  ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
  const std::wstring tag = std::to_wstring(GetCurrentProcessId());
  const std::wstring startedName = L"portivo-e2e-marks-started-" + tag;
  const std::wstring releaseName = L"portivo-e2e-marks-release-" + tag;
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, startedName.c_str());
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  ASSERT_NE(nullptr, started);
  ASSERT_NE(nullptr, release);

  runner::RunOptions options;
  options.exe_path = PORTIVO_PROBE_INSTALLER;
  options.arguments = L"-s1 -KM -mode2";
  options.env = {runner::SetEnv(L"PROBE_RECORD", RecordPath()),
                 runner::SetEnv(L"PROBE_STARTED_EVENT", startedName),
                 runner::SetEnv(L"PROBE_WAIT_EVENT", releaseName),
                 runner::SetEnv(L"PROBE_POST", kPosted)};
  runner::RunningInstaller running;
  ASSERT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &running));
  const DWORD wait = WaitForSingleObject(started, 60000);
  const Marks during = ReadMarks();
  SetEvent(release);
  const int watched = runner::WatchInstaller(&running, 60000);
  runner::StopInstaller(&running);
  CloseHandle(started);
  CloseHandle(release);

  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), wait) << "the setup never started";
  EXPECT_FALSE(during.customerType.present) << "written before the setup ended";
  EXPECT_FALSE(during.kernelMode.present) << "written before the setup ended";
  ASSERT_EQ(runner::kRunnerOk, watched);
  EXPECT_EQ(kPostedCode, running.report.exit_code);
  const Marks after = ReadMarks();
  ExpectDword(after.customerType, true, 2, "CustomerType");
  ExpectDword(after.kernelMode, true, 1, "KM");
}

TEST_F(KernelModeMarksRun, MissingServiceKeyIsNeitherMadeNorAnError) {
  for (const wchar_t* arguments : {L"-s1 -KM -mode2", L"-km"}) {
    runner::RunReport report = Run(arguments, {runner::SetEnv(L"PROBE_POST", kPosted)});
    EXPECT_EQ(kPostedCode, report.exit_code) << Narrow(arguments);
    EXPECT_TRUE(report.boxes.empty()) << Narrow(arguments);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey)) << Narrow(arguments);
  }
}

// A setup that failed (exit code 2) still leaves the marks; with the box in an interactive run.
TEST_F(KernelModeMarksRun, AreWrittenAfterAFailedSetupToo) {
  struct Row {
    const wchar_t* arguments;
    DWORD customerType;
    size_t boxes;
  } rows[] = {{L"-s1 -KM -mode2", 2, 0}, {L"-km -mode3", 3, 1}};
  for (const Row& row : rows) {
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    runner::RunReport report =
        Run(row.arguments, {runner::SetEnv(L"PROBE_EXIT", L"2"), runner::SetEnv(L"PROBE_POST", kPosted)});
    const std::string label = Narrow(row.arguments);
    EXPECT_EQ(1001u, report.exit_code) << label;
    ASSERT_EQ(row.boxes, report.boxes.size()) << label;
    if (row.boxes != 0) EXPECT_EQ(L"Installation failed.", report.boxes[0].text) << label;
    EXPECT_FALSE(Exists(WorkFolder())) << label;
    const Marks marks = ReadMarks();
    ExpectDword(marks.customerType, true, row.customerType, label + " CustomerType");
    ExpectDword(marks.kernelMode, true, 1, label + " KM");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
  }
}

// No setup started, no marks: a missing setup program ends the run before them, and the removal
// run never writes them.
TEST_F(KernelModeMarksRun, RunsThatStartNoSetupWriteNone) {
  ScratchFolder variants;
  const std::wstring withoutSetup = variants / L"PortivoInstaller.exe";
  ASSERT_EQ(runner::kRunnerOk, runner::CopyWithRcdata(PORTIVO_PROBE_INSTALLER, withoutSetup, 104, nullptr));
  ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kKernelServiceKey));

  runner::RunReport missing = Run(L"-s1 -KM -mode2", {}, 300, withoutSetup);
  EXPECT_EQ(1001u, missing.exit_code);
  EXPECT_TRUE(SetupRecord().empty());
  Marks marks = ReadMarks();
  EXPECT_FALSE(marks.customerType.present) << "setup.exe missing";
  EXPECT_FALSE(marks.kernelMode.present) << "setup.exe missing";
  DeleteFolderTree(WorkFolder().c_str());

  runner::RunReport removal = Run(L"-u3 -KM -mode2");
  EXPECT_EQ(0u, removal.exit_code);
  marks = ReadMarks();
  EXPECT_FALSE(marks.customerType.present) << "removal run";
  EXPECT_FALSE(marks.kernelMode.present) << "removal run";
}

}  // namespace
}  // namespace e2e
