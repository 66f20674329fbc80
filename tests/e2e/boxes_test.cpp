// The failure box as a person sees it: where it appears, what it says, in which language, and
// that it waits for the person to close it.
#include "e2e_support.h"

namespace e2e {
namespace {

// A damaged installer: a variant whose payload lacks setup.exe (resource 104). It is refused with
// 1001 before anything is written.
class MissingSetup : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_EQ(runner::kRunnerOk, runner::CopyWithRcdata(PORTIVO_PROBE_INSTALLER, variant_, 104, nullptr));
    tempBefore_ = ListTree(TempFolder());
  }

  void ExpectNothingWritten() {
    EXPECT_TRUE(SetupRecord().empty()) << "something was started";
    EXPECT_EQ(tempBefore_, ListTree(TempFolder())) << "something was written to the temporary folder";
  }

  ScratchFolder scratch_;
  const std::wstring variant_ = scratch_ / L"PortivoInstaller.exe";
  std::vector<std::wstring> tempBefore_;
};

using BoxLanguage = MissingSetup;

// Run under each user language by its own CTest entry (LANG=...); the plain run is English.
TEST_F(BoxLanguage, MissingSetupShowsOneOwnerlessStopBoxInTheUsersLanguage) {
  const LanguageCase language = UserLanguageCase();
  runner::RunReport report = Run(L"", {}, 300, variant_);
  EXPECT_EQ(1001u, report.exit_code);
  ASSERT_EQ(1u, report.boxes.size());
  const runner::CapturedBox& box = report.boxes[0];
  EXPECT_EQ(L"Orvik Portivo Ver.8.70b", box.caption);
  EXPECT_EQ(std::wstring(language.installFailedText), box.text) << runner::DescribeBox(box);
  EXPECT_EQ(runner::kBoxIconHand, box.icon) << runner::BoxIconName(box.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
  EXPECT_FALSE(box.has_owner);
  EXPECT_EQ(IDOK, box.answered_with);
  ExpectNothingWritten();
}

// One byte changed in place, in a file the setup would only read later, is found all the same.
TEST_F(MissingSetup, QuietRunOfAMissingOrDamagedFileShowsNoBoxAndWritesNothing) {
  WORD cabinet = 0;
  for (const PayloadEntry& row : InstallSet) {
    if (PayloadRelativePath(row) == L"data1.cab") cabinet = row.resourceId;
  }
  const std::wstring damaged = scratch_ / L"damaged.exe";
  ASSERT_TRUE(CopyWithDamagedRcdata(PORTIVO_PROBE_INSTALLER, damaged, cabinet));
  tempBefore_ = ListTree(TempFolder());
  for (const std::wstring& installer : {variant_, damaged}) {
    runner::RunReport report = Run(L"-s1", {}, 300, installer);
    EXPECT_EQ(1001u, report.exit_code) << Narrow(installer);
    EXPECT_TRUE(report.boxes.empty()) << runner::DescribeBox(report.boxes[0]);
    ExpectNothingWritten();
  }
}

class FailureBox : public InstallerTest {};

// The setup's outcome and end messages are still queued when the box appears; they must not close
// it. The runner answers only after three seconds, so a box that went earlier shows a shorter time
// and no answer.
TEST_F(FailureBox, StaysUntilThePersonClosesItAfterAFailedSetupThatPosted) {
  const DWORD waitMs = 3000;
  runner::RunReport report =
      Run(L"", {runner::SetEnv(L"PROBE_EXIT", L"2"), runner::SetEnv(L"PROBE_POST", L"9,10")}, waitMs);
  EXPECT_EQ((std::vector<std::string>{"9|ok", "10|ok"}), runner::ValuesOf(SetupRecord(), "post"));
  EXPECT_EQ(1001u, report.exit_code);
  ASSERT_EQ(1u, report.boxes.size());
  const runner::CapturedBox& box = report.boxes[0];
  EXPECT_EQ(std::wstring(UserLanguageCase().installFailedText), box.text);
  EXPECT_GE(box.shown_ms, waitMs - 100) << "the box went before anyone answered it";
  EXPECT_EQ(IDOK, box.answered_with);
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace e2e
