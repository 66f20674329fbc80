#include "payload/removal_choice.h"

#include <gtest/gtest.h>

#include "payload/catalogue.h"

TEST(EmulatorSetupChoice, Table) {
  const struct { bool functionFound, callSucceeded; BOOL wow64; unsigned expected; } rows[] = {
      {true, true, TRUE, kEmulatorSetup64NameId},  {true, true, FALSE, kEmulatorSetup32NameId},
      {true, false, TRUE, kEmulatorSetup32NameId}, {false, true, TRUE, kEmulatorSetup32NameId},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.expected, EmulatorSetupNameIdFor(r.functionFound, r.callSucceeded, r.wow64))
        << r.functionFound << r.callSucceeded << r.wow64;
  }
  // The test program may import it; the installer may not, since Windows 2000 lacks it.
  EXPECT_EQ(&::IsWow64Process, LookUpIsWow64Process());
}
