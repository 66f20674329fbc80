#include "run/startup_checks.h"

#include <gtest/gtest.h>

#include <vector>

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

// TOKEN_GROUPS laid out as GetTokenInformation returns it: the array, then the SIDs it points to.
class GroupsBuffer {
 public:
  explicit GroupsBuffer(const std::vector<std::vector<DWORD>>& groups, DWORD attributes)
      : buffer_(256, 0) {
    auto* tokenGroups = reinterpret_cast<TOKEN_GROUPS*>(buffer_.data());
    tokenGroups->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* next = reinterpret_cast<BYTE*>(buffer_.data()) + sizeof(TOKEN_GROUPS) + 3 * sizeof(SID_AND_ATTRIBUTES);
    for (std::size_t i = 0; i < groups.size(); ++i) {
      SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
      const UCHAR count = static_cast<UCHAR>(groups[i].size());
      InitializeSid(next, &nt, count);
      for (UCHAR k = 0; k < count; ++k) *GetSidSubAuthority(next, k) = groups[i][k];
      tokenGroups->Groups[i] = {next, attributes};
      next += GetSidLengthRequired(count);
    }
  }
  const TOKEN_GROUPS& groups() const { return *reinterpret_cast<const TOKEN_GROUPS*>(buffer_.data()); }

 private:
  std::vector<DWORD> buffer_;  // room for four groups of up to five sub-authorities
};

TEST(IsAdministrator, GroupsListSid) {
  const struct { const char* label; std::vector<std::vector<DWORD>> groups; DWORD attributes; bool expected; } rows[] = {
      {"deny-only", {{32, 544}}, SE_GROUP_USE_FOR_DENY_ONLY, true},
      {"last of several", {{18}, {32, 545}, {32, 544}}, SE_GROUP_ENABLED, true},
      {"no groups", {}, SE_GROUP_ENABLED, false},
      {"544 in another domain", {{21, 1, 2, 3, 544}}, SE_GROUP_ENABLED, false},
      {"builtin domain itself", {{32}}, SE_GROUP_ENABLED, false},
  };
  const GroupsBuffer administrators({{32, 544}}, 0);
  for (const auto& row : rows) {
    EXPECT_EQ(row.expected, GroupsListSid(GroupsBuffer(row.groups, row.attributes).groups(),
                                          administrators.groups().Groups[0].Sid)) << row.label;
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
