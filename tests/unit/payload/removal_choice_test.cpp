#include "payload/removal_choice.h"

#include <gtest/gtest.h>

#include "payload/catalogue.h"

namespace {

TEST(EmulatorSetupChoice, Table) {
  const struct { bool functionFound, callSucceeded; BOOL wow64; unsigned expected; } rows[] = {
      {true, true, TRUE, kEmulatorSetup64NameId},   {true, true, FALSE, kEmulatorSetup32NameId},
      {true, false, TRUE, kEmulatorSetup32NameId},  {true, false, FALSE, kEmulatorSetup32NameId},
      {false, false, FALSE, kEmulatorSetup32NameId}, {false, true, TRUE, kEmulatorSetup32NameId},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(EmulatorSetupNameIdFor(r.functionFound, r.callSucceeded, r.wow64), r.expected)
        << r.functionFound << r.callSucceeded << r.wow64;
  }
}

TEST(EmulatorSetupChoice, LookUpFindsKernel32sFunction) {
  // The test program may import it; the installer may not, since Windows 2000 lacks it.
  EXPECT_EQ(LookUpIsWow64Process(), &::IsWow64Process);
}

TEST(EmulatorSetupChoice, ThisProcessGetsTheSetupForItsWindows) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  const bool windows64 = wow64 || sizeof(void*) == 8;
  EXPECT_EQ(ChooseEmulatorSetupNameId(), windows64 ? kEmulatorSetup64NameId : kEmulatorSetup32NameId);
  RecordProperty("wow64", wow64 ? "TRUE" : "FALSE");
}

}  // namespace
