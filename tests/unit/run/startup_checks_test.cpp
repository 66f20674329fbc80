#include "run/startup_checks.h"

#include <gtest/gtest.h>

#include "run/result_codes.h"

namespace {

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

struct VersionRow { bool callSucceeds; DWORD major; int expected; };
VersionRow gVersionRow;

BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOW* version) {
  if (version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) return FALSE;
  if (!gVersionRow.callSucceeds) return FALSE;
  version->dwMajorVersion = gVersionRow.major;
  return TRUE;
}

// A call that fails without writing must leave a version that is refused.
TEST(WindowsVersion, Table) {
  const VersionRow rows[] = {{false, 0, kResultUnsupportedOs}, {true, 4, kResultUnsupportedOs},
                             {true, 5, kResultSuccess}, {true, 10, kResultSuccess}};
  gGetVersionExW = &FakeGetVersionEx;
  for (const VersionRow& row : rows) {
    gVersionRow = row;
    EXPECT_EQ(row.expected, CheckWindowsVersion()) << row.major;
  }
  gGetVersionExW = &::GetVersionExW;
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

}  // namespace
