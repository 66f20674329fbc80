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
                         testing::Values(ChoiceRow{true, true, TRUE, 156},
                                         ChoiceRow{true, true, FALSE, 155},
                                         ChoiceRow{true, false, TRUE, 155},
                                         ChoiceRow{true, false, FALSE, 155},
                                         ChoiceRow{false, false, FALSE, 155},
                                         ChoiceRow{false, true, TRUE, 155}));

TEST(EmulatorSetupChoice, NameIdsAreTheRemovalSetPrograms) {
  EXPECT_EQ(kEmulatorSetup32NameId, 155u);
  EXPECT_EQ(kEmulatorSetup64NameId, 156u);
}

TEST(EmulatorSetupChoice, LookUpFindsKernel32sFunction) {
  // The test program may import it; the installer may not, since Windows 2000 lacks it.
  EXPECT_EQ(LookUpIsWow64Process(), &::IsWow64Process);
}

TEST(EmulatorSetupChoice, ThisProcessGetsTheSetupForItsWindows) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(ChooseEmulatorSetupNameId(), wow64 ? 156u : 155u);
  RecordProperty("wow64", wow64 ? "TRUE" : "FALSE");
}

}  // namespace
