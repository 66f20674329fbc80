#include "payload/removal_choice.h"

#include <gtest/gtest.h>

#include "payload/catalogue.h"

namespace {

struct ChoiceRow {
  bool functionFound;
  bool callSucceeded;
  BOOL wow64;
  unsigned expected;
};

class EmulatorSetupChoiceTest : public testing::TestWithParam<ChoiceRow> {};

TEST_P(EmulatorSetupChoiceTest, NameId) {
  const ChoiceRow& row = GetParam();
  EXPECT_EQ(EmulatorSetupNameIdFor(row.functionFound, row.callSucceeded, row.wow64), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, EmulatorSetupChoiceTest,
                         testing::Values(ChoiceRow{true, true, TRUE, kEmulatorSetup64NameId},
                                         ChoiceRow{true, true, FALSE, kEmulatorSetup32NameId},
                                         ChoiceRow{true, false, TRUE, kEmulatorSetup32NameId},
                                         ChoiceRow{true, false, FALSE, kEmulatorSetup32NameId},
                                         ChoiceRow{false, false, FALSE, kEmulatorSetup32NameId},
                                         ChoiceRow{false, true, TRUE, kEmulatorSetup32NameId}));

TEST(EmulatorSetupChoice, LookUpFindsKernel32sFunction) {
  // The test program may import it; the installer may not, since Windows 2000 lacks it.
  EXPECT_EQ(LookUpIsWow64Process(), &::IsWow64Process);
}

TEST(EmulatorSetupChoice, ThisProcessGetsTheSetupForItsWindows) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(ChooseEmulatorSetupNameId(), wow64 ? kEmulatorSetup64NameId : kEmulatorSetup32NameId);
  RecordProperty("wow64", wow64 ? "TRUE" : "FALSE");
}

}  // namespace
