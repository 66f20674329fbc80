// The sample setup's reading of its command line and of PORTS.dat.
#include "common/setup_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SampleSetupArgs, ReadsTheInstallersCommandLines) {
  struct Row { const wchar_t* commandLine; bool hideProgress; unsigned short language; bool hasWindow;
               long long window; unsigned long message; const wchar_t* installerArgs; bool uninstall; } rows[] = {
      {L"/clone_wait \"/W32:131234:1024\"", false, 0, true, 131234, 1024, L"", false},
      {L"/clone_wait /hide_progress -l0x0804 \"/W32:-2:1031 -U1 -KM\"", true, 0x0804, true, -2, 1031, L"-U1 -KM", true},
      {L"/clone_wait \"/W32:5:1024 -u3 \"C:\\x\"\"", false, 0, true, 5, 1024, L"-u3 \"C:\\x\"", false},
      {L"/clone_wait \"/W32:5:1024x -s1\"", false, 0, false, 0, 0, L"", false},  // no window to post to
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "command line: " << row.commandLine);
    const SetupArgs args = ParseSetupArgs(row.commandLine);
    EXPECT_TRUE(args.cloneWait);
    EXPECT_EQ(row.hideProgress, args.hideProgress);
    EXPECT_EQ(row.language, args.languageId);
    EXPECT_EQ(row.hasWindow, args.hasResultWindow);
    EXPECT_EQ(row.window, args.resultWindow);
    EXPECT_EQ(row.message, args.resultMessage);
    EXPECT_EQ(std::wstring(row.installerArgs), args.installerArgs);
    EXPECT_EQ(row.uninstall, args.uninstall);
  }
}

TEST(SampleSetupArgs, ChoosesTheManualByLanguage) {
  struct Row { unsigned short switchLanguage, userLanguage; const wchar_t *folder, *readme; } rows[] = {
      {0x0804, 0x0411, L"SC", L"ReadMeE.txt"},  // the switch wins over the user's language
      {0x0404, 0, L"TC", L"ReadMeE.txt"},
      {0, 0x0411, L"JA", L"ReadMeJ.txt"},
      {0, 0x0C04, L"EN", L"ReadMeE.txt"},
  };
  for (const Row& row : rows) {
    const ManualChoice choice = ChooseManual(row.switchLanguage, row.userLanguage);
    EXPECT_EQ(std::wstring(row.folder), choice.folder) << row.switchLanguage << "/" << row.userLanguage;
    EXPECT_EQ(std::wstring(row.readme), choice.readme) << row.switchLanguage << "/" << row.userLanguage;
  }
}

TEST(SampleSetupArgs, SummarizesPortsFile) {
  const PortsSummary summary = SummarizePorts("junk\r\n[PORTS]\r\n3=0,A\r\n4=1,B\r\n[PRTVO]\r\nCOM9=0001\r\n");
  EXPECT_TRUE(summary.portsSection && summary.emulatorSection);
  EXPECT_EQ(2, summary.usbLines);
  EXPECT_EQ(1, summary.emulatorLines);
}

}  // namespace
