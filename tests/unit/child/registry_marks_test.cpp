#include "child/registry_marks.h"

#include <gtest/gtest.h>

TEST(KernelModeMarks, Decision) {
  const struct { const wchar_t* commandLine; bool customerType; DWORD value; bool kernelMode; } rows[] = {
      {L"-km -mode2", true, 2, true},   {L"-mode 3 -KM", true, 3, true},
      {L"-KM -modex", true, 0, true},   {L"-KM -mode-7", true, 0xFFFFFFF9u, true},
      {L"-KM -mode12x -mode5", true, 12, true},  // the first "-mode" counts, up to a non-digit
      {L"-KM", false, 0, true},         {L"-km -MODE2", false, 0, true},
      {L"-Km -mode2", false, 0, false}, {L"-mode2", false, 0, false},
  };
  for (const auto& row : rows) {
    const KernelModeMarks marks = KernelModeMarksFor(row.commandLine);
    EXPECT_EQ(row.customerType, marks.writeCustomerType) << row.commandLine;
    if (row.customerType) EXPECT_EQ(row.value, marks.customerType) << row.commandLine;
    EXPECT_EQ(row.kernelMode, marks.writeKernelMode) << row.commandLine;
  }
}
