// The sample setup's reading of its command line and of PORTS.dat: the command lines the
// installer composes in each run mode, and the malformed ones a hand-made call might produce.
#include "common/setup_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ArgsRow {
  const wchar_t* commandLine;
  bool cloneWait, hideProgress;
  unsigned short language;
  bool hasWindow;
  long long window;
  unsigned long message;
  const wchar_t* installerArgs;
  bool uninstall;
  std::vector<std::wstring> unknown;
};

TEST(SampleSetupArgs, ReadsTheInstallersCommandLines) {
  // clang-format off
  const ArgsRow rows[] = {
      // Interactive run, installer started without arguments.
      {L"/clone_wait \"/W32:131234:1024\"", true, false, 0, true, 131234, 1024, L"", false, {}},
      // Quiet install as a Japanese user.
      {L"/clone_wait /hide_progress -l0x0411 \"/W32:131234:1024 -s1\"", true, true, 0x0411, true, 131234, 1024, L"-s1", false, {}},
      // Quiet uninstall; both letter cases of the switch count.
      {L"/clone_wait /hide_progress -l0x0409 \"/W32:7:1024 -u1\"", true, true, 0x0409, true, 7, 1024, L"-u1", true, {}},
      {L"/clone_wait /hide_progress -l0x0804 \"/W32:7:1024 -U1 -KM\"", true, true, 0x0804, true, 7, 1024, L"-U1 -KM", true, {}},
      // The installer's switches arrive unchanged, order and blanks included.
      {L"/clone_wait /hide_progress -l0x0404 \"/W32:65602:1024 -S1 -KM -mode 3  -QX:COM5\"", true, true, 0x0404, true, 65602, 1024, L"-S1 -KM -mode 3  -QX:COM5", false, {}},
      // A handle formatted as a negative number, and a message number other than 1024.
      {L"/clone_wait \"/W32:-2147352572:1031\"", true, false, 0, true, -2147352572LL, 1031, L"", false, {}},
      // Another "-u" switch is no uninstall.
      {L"/clone_wait \"/W32:5:1024 -u3\"", true, false, 0, true, 5, 1024, L"-u3", false, {}},
      // A quote inside the installer's command line: the last quote closes the argument.
      {L"/clone_wait \"/W32:5:1024 -s1 \"C:\\x\"\"", true, false, 0, true, 5, 1024, L"-s1 \"C:\\x\"", false, {}},
      // No closing quote at all: the rest of the line is the argument.
      {L"/clone_wait \"/W32:5:1024 -s1", true, false, 0, true, 5, 1024, L"-s1", false, {}},
      // Malformed result arguments leave no window to post to.
      {L"/clone_wait \"/W32:abc:1024\"", true, false, 0, false, 0, 0, L"", false, {}},
      {L"/clone_wait \"/W32:5\"", true, false, 0, false, 0, 0, L"", false, {}},
      {L"/clone_wait \"/W32:5:\"", true, false, 0, false, 0, 0, L"", false, {}},
      {L"/clone_wait \"/W32:5:1024x -s1\"", true, false, 0, false, 0, 0, L"", false, {}},
      // Started by hand: nothing but unknown switches.
      {L"", false, false, 0, false, 0, 0, L"", false, {}},
      {L"/x -l0x04 -l0xZZZZ", false, false, 0, false, 0, 0, L"", false, {L"/x", L"-l0x04", L"-l0xZZZZ"}},
  };
  // clang-format on
  for (const ArgsRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "command line: " << row.commandLine);
    SetupArgs args = ParseSetupArgs(row.commandLine);
    EXPECT_EQ(row.cloneWait, args.cloneWait);
    EXPECT_EQ(row.hideProgress, args.hideProgress);
    EXPECT_EQ(row.language, args.languageId);
    EXPECT_EQ(row.hasWindow, args.hasResultWindow);
    EXPECT_EQ(row.window, args.resultWindow);
    EXPECT_EQ(row.message, args.resultMessage);
    EXPECT_EQ(std::wstring(row.installerArgs), args.installerArgs);
    EXPECT_EQ(row.uninstall, args.uninstall);
    EXPECT_EQ(row.unknown, args.unknown);
  }
}

TEST(SampleSetupArgs, ChoosesTheManualByLanguage) {
  struct Row { unsigned short switchLanguage, userLanguage; const wchar_t *folder, *readme; } rows[] = {
      {0x0411, 0x0409, L"JA", L"ReadMeJ.txt"},
      {0x0804, 0x0411, L"SC", L"ReadMeE.txt"},  // the switch wins over the user's language
      {0x0404, 0, L"TC", L"ReadMeE.txt"},
      {0x0409, 0x0411, L"EN", L"ReadMeE.txt"},
      {0, 0x0411, L"JA", L"ReadMeJ.txt"},  // no switch: the user's language decides
      {0, 0x0C04, L"EN", L"ReadMeE.txt"},  // other Chinese sub-languages get English
      {0, 0x0412, L"EN", L"ReadMeE.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.switchLanguage << "/" << row.userLanguage);
    ManualChoice choice = ChooseManual(row.switchLanguage, row.userLanguage);
    EXPECT_EQ(std::wstring(row.folder), choice.folder);
    EXPECT_EQ(std::wstring(row.readme), choice.readme);
  }
}

TEST(SampleSetupArgs, SummarizesPortsFile) {
  struct Row { const char* text; bool ports, emulator; int usb, emulatorLines; } rows[] = {
      {"[PORTS]\r\n[PRTVO]\r\n", true, true, 0, 0},
      {"[PORTS]\r\n3=0,USB\\A\r\n4=1,USB\\B\r\n[PRTVO]\r\nCOM9=0001,9999,0,0,0,0,0,0,0,0,,0,0,0,0,"
       "0,0,0,0\r\n", true, true, 2, 1},
      {"[PORTS]\n3=0,X\n", true, false, 1, 0},  // cut short: no emulator section
      {"", false, false, 0, 0},
      {"junk\r\n[PRTVO]\r\nA=1\r\nB=2", false, true, 0, 2},  // lines before a header are no one's
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    PortsSummary summary = SummarizePorts(row.text);
    EXPECT_EQ(row.ports, summary.portsSection);
    EXPECT_EQ(row.emulator, summary.emulatorSection);
    EXPECT_EQ(row.usb, summary.usbLines);
    EXPECT_EQ(row.emulatorLines, summary.emulatorLines);
  }
}

}  // namespace
