// The kernel-mode marks seen in the registry after a run: an install run started with "-KM" stores
// "KM" = 1 and, with "-mode", "CustomerType" in the driver's service key, after a failed setup too;
// a missing service key is not made, and the removal run writes none. (That they come only once
// the setup has ended is shown by the second-instance case, which holds a setup running.)
#include "e2e_support.h"

namespace e2e {
namespace {

class KernelModeMarks : public ServiceKeysTest {};

TEST_F(KernelModeMarks, AreWrittenAfterTheSetupAsTheCommandLineAsks) {
  struct Row {
    const wchar_t* arguments;
    bool key;           // the service key exists, with an earlier "CustomerType" of 7
    const wchar_t* setupExit;
    DWORD exitCode;
    DWORD customerType;  // afterwards; 0: absent
    bool kernelMode;     // "KM" = 1 afterwards
  } rows[] = {
      {L"-s1 -km -mode2", true, L"0", 9, 2, true},
      {L"-s1 -KM", true, L"2", 1001, 7, true},  // a failed setup; the earlier type stays
      {L"-s1 -KM -mode 3", false, L"0", 9, 0, false},
      {L"-u3 -KM -mode2", true, L"0", 0, 7, false},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(row.arguments);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelServiceKey);
    if (row.key) ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType", 7));
    runner::RunReport report =
        Run(row.arguments, {runner::SetEnv(L"PROBE_POST", L"9"), runner::SetEnv(L"PROBE_EXIT", row.setupExit)});
    EXPECT_EQ(row.exitCode, report.exit_code) << label;
    EXPECT_TRUE(report.boxes.empty()) << label;
    EXPECT_FALSE(Exists(WorkFolder())) << label;
    EXPECT_EQ(row.key, KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey)) << label;
    const RegValue customerType = ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"CustomerType");
    const RegValue kernelMode = ReadValue(HKEY_LOCAL_MACHINE, kKernelServiceKey, L"KM");
    EXPECT_EQ(row.customerType, customerType.AsDword()) << label;
    EXPECT_EQ(row.kernelMode, kernelMode.present) << label;
    if (kernelMode.present) {
      EXPECT_EQ(static_cast<DWORD>(REG_DWORD), kernelMode.type) << label;
      EXPECT_EQ(1u, kernelMode.AsDword()) << label;
    }
  }
}

}  // namespace
}  // namespace e2e
