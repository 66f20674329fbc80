#include "common/language.h"
#include "common/switches.h"
#include "run/command_line.h"
#include "run/event_record.h"
#include "run/instance_lock.h"
#include "run/messages.h"
#include "run/result_codes.h"
#include "run/startup_checks.h"
#include "run/window_station.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

namespace {

TEST(CommandLine, HasSwitchIsACaseSensitiveSubstringTest) {
  EXPECT_TRUE(HasSwitch(L"x-s1y", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"-S1", L"-s1"));
  EXPECT_FALSE(HasSwitch(L"-s", L"-s1"));
  EXPECT_FALSE(HasSwitch(nullptr, L"-s1"));
}

TEST(CommandLine, RunSwitchesTable) {
  const wchar_t* quiet = L"/clone_wait /hide_progress -l0x0411";
  struct Row { const wchar_t* commandLine; RunMode mode; DriverMode driver; const wchar_t* setupSwitches; } rows[] = {
      {L"", Interactive, UserMode, L"/clone_wait"},
      {L"-u3 -s1", Removal, UserMode, L""},
      {L"-U3", Removal, UserMode, L""},
      {L"-u1 -s1", SilentInstall, UserMode, quiet},
      {L"-S1", SilentInstall, UserMode, quiet},
      {L"-U1", SilentUninstall, UserMode, quiet},
      {L"/s1 -kM", Interactive, UserMode, L"/clone_wait"},
      {L"-km -u3", Removal, KernelMode, L""},
      {L"-S1 -KM -mode 3", SilentInstall, KernelMode, quiet},
  };
  for (const Row& row : rows) {
    const RunSwitches parsed = ParseRunSwitches(row.commandLine, 0x0411);
    EXPECT_EQ(row.mode, parsed.runMode) << row.commandLine;
    EXPECT_EQ(row.driver, parsed.driverMode) << row.commandLine;
    EXPECT_EQ(std::wstring(row.setupSwitches), parsed.setupSwitches) << row.commandLine;
  }
}

// The extraction's switch is taken out as the log's is; found tells an extraction without a usable
// folder from an install.
TEST(CommandLine, PathSwitchesAreTakenOutWithTheirPaths) {
  const std::wstring longPath(MAX_PATH, L'a');
  struct Row { std::wstring commandLine; const wchar_t* rest; std::wstring path; bool extract = false, found = true; } rows[] = {
      {L"-s1 -log:C:\\l.txt  -KM", L"-s1 -KM", L"C:\\l.txt"},
      {L"-LOG:\"C:\\Deploy Logs\\p.log\" -s1", L"-s1", L"C:\\Deploy Logs\\p.log"},
      {L"-s1  -log:C:\\logs\\x-u3.log", L"-s1", L"C:\\logs\\x-u3.log"},  // at the end, the blanks before it go
      {L"-s1 -log:\"C:\\no end", L"-s1", L"C:\\no end"},
      {L"-s1 -log: -u1", L"-s1 -u1", L""},
      {L"-log:" + longPath + L" -s1", L"-s1", L""},  // too long for a path: no log, and still taken out
      {L"-s1 -Log:x", L"-s1 -Log:x", L"", false, false},
      {L"-u3 -EXTRACT:\"D:\\Driver Files\" -KM", L"-u3 -KM", L"D:\\Driver Files", true},
      {L"-s1 \"-log:C:\\Deploy Logs\\p.log\" -KM", L"-s1 -KM", L"C:\\Deploy Logs\\p.log"},  // as cmd quotes it
      {L"-s1 -extract:", L"-s1", L"", true},
  };
  for (const Row& row : rows) {
    wchar_t rest[64];
    wchar_t path[MAX_PATH];
    bool found = !row.found;
    EXPECT_TRUE(SplitPathSwitch(row.commandLine.c_str(), row.extract ? kExtractSwitch : kLogSwitch, rest, 64, path,
                                MAX_PATH, &found));
    EXPECT_EQ(std::wstring(row.rest), rest) << row.commandLine;
    EXPECT_EQ(row.path, path) << row.commandLine;
    EXPECT_EQ(row.found, found) << row.commandLine;
  }
}

TEST(PortSwitches, QuietInstallReadsThePorts) {
  struct Row { const wchar_t* commandLine; int qxPort; int kdPort; } rows[] = {
      {L"-s1 -QX:COM1 -KD:COM32", 1, 32},
      {L"-s1 -QX:COM0 -KD:COM33", 0, 0},
      {L"-s1 -QX:COM3 -QX:COM5", 3, 0},    // the first occurrence counts
      {L"-s1 -QX:COM99 -QX:COM5", 0, 0},   // even when it is invalid
      {L"-s1 -QX:LPT2 -QX:COM3", 34, 0},   // a valid LPT number replaces the COM number
      {L"-s1 -QX:LPT1 -KD:LPT8", 33, 40},
      {L"-s1 -QX:COM3 -QX:LPT9", 3, 0},
      {L"-s1 -QX:COM 3 -KD:LPT 4", 0, 0},  // the number ends at the first blank
      {L"-s1 -QX:COM12abc", 12, 0},
      {L"-s1 -qx:com3", 0, 0},
      {nullptr, 0, 0},
  };
  for (const Row& row : rows) {
    const RequestedPorts ports = ParsePortSwitches(row.commandLine, SilentInstall);
    EXPECT_EQ(row.qxPort, ports.qxPort) << (row.commandLine ? row.commandLine : L"(null)");
    EXPECT_EQ(row.kdPort, ports.kdPort) << (row.commandLine ? row.commandLine : L"(null)");
  }
  for (RunMode mode : {Interactive, SilentUninstall, Removal}) {
    EXPECT_EQ(0, ParsePortSwitches(L"-s1 -QX:COM3 -KD:COM4", mode).qxPort) << mode;
  }
}

TEST(DriverMode, Table) {
  struct Row { bool emulatorService, kernelModeMark; DriverMode mode; int expected; } rows[] = {
      {true, true, KernelMode, kResultModeConflict},  {true, false, KernelMode, kResultModeConflict},
      {true, true, UserMode, kResultSuccess},         {false, true, UserMode, kResultModeConflict},
      {false, true, KernelMode, kResultSuccess},      {false, false, UserMode, kResultSuccess},
      {false, false, KernelMode, kResultSuccess},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, DriverModeResult(r.emulatorService, r.kernelModeMark, r.mode))
        << r.emulatorService << r.kernelModeMark << r.mode;
  }
}

DWORD gThreadTokenError;
BOOL WINAPI FakeOpenThreadToken(HANDLE, DWORD, BOOL, HANDLE*) {
  SetLastError(gThreadTokenError);
  return FALSE;
}

// Wine's process token lists the administrators group; only a thread without a token of its own
// falls back to it.
TEST(IsAdministrator, ProcessTokenOnlyWhenTheThreadHasNone) {
  gOpenThreadToken = &FakeOpenThreadToken;
  gThreadTokenError = ERROR_NO_TOKEN;
  EXPECT_TRUE(IsAdministrator());
  gThreadTokenError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(IsAdministrator());
  gOpenThreadToken = &::OpenThreadToken;
}

// Only a lock that an elevated process made keeps a run out; what cannot be told counts as an
// installer's, except what no installer makes: another kind of object, or one that refuses
// administrators even reading its owner.
TEST(SingleInstance, LockTable) {
  struct Row { DWORD createError, openError; LockOwner owner; LockFinding expected; } rows[] = {
      {0, 0, kOwnerUnreadable, kLockTaken},
      {ERROR_ALREADY_EXISTS, 0, kOwnerAdministration, kLockOfAnInstaller},
      {ERROR_ALREADY_EXISTS, 0, kOwnerOther, kLockOfAnother},
      {ERROR_ALREADY_EXISTS, 0, kOwnerUnreadable, kLockOfAnInstaller},
      {ERROR_ACCESS_DENIED, 0, kOwnerAdministration, kLockOfAnInstaller},  // an older installer's, as SYSTEM
      {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, kOwnerUnreadable, kLockOfAnother},
      {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, kOwnerUnreadable, kLockFree},  // no right to global names
      {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, kOwnerUnreadable, kLockOfAnInstaller},
      {ERROR_INVALID_HANDLE, 0, kOwnerUnreadable, kLockOfAnother},
      {ERROR_NOT_ENOUGH_MEMORY, 0, kOwnerUnreadable, kLockOfAnInstaller},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, JudgeLock(row.createError, row.openError, row.owner))
        << row.createError << "/" << row.openError << "/" << row.owner;
  }
  struct OwnerRow { const wchar_t* sddl; LockOwner owner; } owners[] = {
      {L"O:BA", kOwnerAdministration}, {L"O:SY", kOwnerAdministration},
      {L"O:S-1-5-21-1-2-3-1000", kOwnerOther}, {L"O:BU", kOwnerOther}, {L"D:", kOwnerUnreadable},
  };
  for (const OwnerRow& row : owners) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(row.sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(row.owner, OwnerOfDescriptor(descriptor)) << row.sddl;
    LocalFree(descriptor);
  }
}

// The record's type follows where the exit code came from; each start-up check keeps its number.
TEST(EventRecord, TypeAndIdTable) {
  struct Row { int exitCode; bool installerEnded; WORD type; DWORD id; } rows[] = {
      {0, false, EVENTLOG_INFORMATION_TYPE, 100}, {3010, false, EVENTLOG_WARNING_TYPE, 200},
      {101, true, EVENTLOG_ERROR_TYPE, 101}, {107, true, EVENTLOG_ERROR_TYPE, 107},
      {1001, true, EVENTLOG_ERROR_TYPE, 110},
  };
  for (const Row& row : rows) {
    const EventChoice event = ChooseEvent(row.exitCode, row.installerEnded);
    EXPECT_EQ(row.type, event.type) << row.exitCode;
    EXPECT_EQ(row.id, event.id) << row.exitCode;
  }
}

// The port codes replace an earlier failure, but do not clear one.
TEST(RequestedPorts, Table) {
  struct Row { int qx, kd, earlier, expected; } rows[] = {
      {3, 3, 0, kResultSamePort}, {0, 4, 0, kResultKdWithoutQx}, {3, 4, 0, kResultSuccess},
      {0, 0, 0, kResultSuccess},  {40, 40, kResultAlreadyRunning, kResultSamePort},
      {0, 4, kResultNotAdministrator, kResultKdWithoutQx}, {3, 4, kResultAlreadyRunning, kResultAlreadyRunning},
  };
  for (const Row& row : rows) {
    RequestedPorts ports;
    ports.qxPort = row.qx;
    ports.kdPort = row.kd;
    EXPECT_EQ(row.expected, CheckRequestedPorts(ports, row.earlier)) << row.qx << "/" << row.kd << " after " << row.earlier;
  }
}

TEST(Messages, LanguageIdChoosesTheSetByTheWholeId) {
  struct Row { LANGID id; UiLanguage language; } rows[] = {
      {1041, UiLanguage::Japanese}, {1028, UiLanguage::TraditionalChinese}, {2052, UiLanguage::SimplifiedChinese},
      {1033, UiLanguage::English},  {3076, UiLanguage::English},  // zh-HK
      {0x0011, UiLanguage::English},  // neutral Japanese
  };
  for (const Row& row : rows) EXPECT_EQ(row.language, LanguageForId(row.id)) << row.id;
}

// Each set with texts of its own, and codes without a box get none. (The English texts of the boxes
// a run can show are checked on the boxes themselves, end to end.)
TEST(Messages, MessageForCodeTable) {
  struct Row { UiLanguage language; int code; const wchar_t* text; } rows[] = {
      {UiLanguage::English, 104, L"Please log on administrator account."},
      {UiLanguage::English, 0, L""}, {UiLanguage::English, 106, L""},
      {UiLanguage::Japanese, 104, L"管理者権限で実行してください。"},
      {UiLanguage::TraditionalChinese, 1001, L"安裝失敗。"},
      {UiLanguage::SimplifiedChinese, 1001, L"安装失败。"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::wstring(row.text), MessageForCode(MessageSetFor(row.language), row.code)) << row.code;
  }
}

// A station whose flags cannot be read gets no box: one that nobody can close would hang the run.
TEST(Messages, BoxOnlyOnAStationKnownToBeVisible) {
  struct Row { BOOL queried; DWORD flags; bool visible; } rows[] = {
      {TRUE, WSF_VISIBLE, true}, {TRUE, 0, false}, {FALSE, WSF_VISIBLE, false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.visible, StationVisibleFrom(row.queried, row.flags)) << row.queried << "/" << row.flags;
}

}  // namespace
