#include "run/startup_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/result_codes.h"
#include "scratch_folder.h"
#include "test_registry.h"

namespace {

// ---- Driver mode ---------------------------------------------------------------------------

TEST(DriverMode, Table) {
  struct Row { bool emulatorService, kernelModeMark; DriverMode mode; int expected; } rows[] = {
      {true, true, KernelMode, kResultModeConflict},  {true, false, KernelMode, kResultModeConflict},
      {true, true, UserMode, kResultSuccess},         {true, false, UserMode, kResultSuccess},
      {false, true, UserMode, kResultModeConflict},   {false, true, KernelMode, kResultSuccess},
      {false, false, UserMode, kResultSuccess},       {false, false, KernelMode, kResultSuccess},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(DriverModeResult(r.emulatorService, r.kernelModeMark, r.mode), r.expected)
        << r.emulatorService << r.kernelModeMark << r.mode;
  }
}

const wchar_t kKernelKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";

// The service keys belong to the driver; the test prefix must not have them, and each row leaves
// them absent again.
TEST(DriverMode, RegistryRows) {
  ASSERT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kKernelKey)) << "the test prefix already has the kernel-mode service key";
  ASSERT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kEmulatorKey)) << "the test prefix already has the emulator service key";
  const DWORD zero = 0, one = 1;
  const wchar_t fits[] = L"a";         // 4 bytes with its terminator
  const wchar_t tooLong[] = L"kernel";
  struct Row {
    const char* what;
    bool emulatorKey, kernelKey;
    DWORD markType;
    const void* mark;  // null: no KM value
    DWORD markSize;
    int userMode, kernelMode;
  } rows[] = {
      {"nothing installed", false, false, 0, nullptr, 0, kResultSuccess, kResultSuccess},
      {"DWORD mark of 0", false, true, REG_DWORD, &zero, 4, kResultModeConflict, kResultSuccess},
      {"4-byte mark of any type", false, true, REG_SZ, fits, sizeof fits, kResultModeConflict, kResultSuccess},
      {"mark longer than 4 bytes", false, true, REG_SZ, tooLong, sizeof tooLong, kResultSuccess, kResultSuccess},
      {"kernel key without mark", false, true, 0, nullptr, 0, kResultSuccess, kResultSuccess},
      {"emulator service", true, false, 0, nullptr, 0, kResultSuccess, kResultModeConflict},
      {"emulator service beats the mark", true, true, REG_DWORD, &one, 4, kResultSuccess, kResultModeConflict},
  };
  for (const Row& r : rows) {
    if (r.emulatorKey) EXPECT_TRUE(testreg::SetValue(HKEY_LOCAL_MACHINE, kEmulatorKey, nullptr, 0, nullptr, 0));
    if (r.kernelKey) EXPECT_TRUE(testreg::SetValue(HKEY_LOCAL_MACHINE, kKernelKey, r.mark ? L"KM" : nullptr, r.markType, r.mark, r.markSize));
    EXPECT_EQ(CheckDriverMode(UserMode), r.userMode) << r.what;
    EXPECT_EQ(CheckDriverMode(KernelMode), r.kernelMode) << r.what;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorKey);
  }
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kKernelKey));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kEmulatorKey));
}

// ---- Windows version -------------------------------------------------------------------------

struct VersionRow { bool callSucceeds; DWORD major, minor; int expected; };
VersionRow gVersionRow;
DWORD gSizeSeen, gMajorSeen;

BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOW* version) {
  gSizeSeen = version->dwOSVersionInfoSize;
  gMajorSeen = version->dwMajorVersion;
  if (!gVersionRow.callSucceeds) return FALSE;
  version->dwMajorVersion = gVersionRow.major;
  version->dwMinorVersion = gVersionRow.minor;
  return TRUE;
}

TEST(WindowsVersion, Table) {
  EXPECT_EQ(CheckWindowsVersion(), kResultSuccess) << "Wine itself";
  const VersionRow rows[] = {{false, 0, 0, kResultUnsupportedOs}, {true, 4, 0, kResultUnsupportedOs},
                             {true, 4, 90, kResultUnsupportedOs}, {true, 5, 0, kResultSuccess},
                             {true, 6, 1, kResultSuccess},        {true, 10, 0, kResultSuccess}};
  gGetVersionExW = &FakeGetVersionEx;
  for (const VersionRow& row : rows) {
    gVersionRow = row;
    gMajorSeen = 99;
    EXPECT_EQ(CheckWindowsVersion(), row.expected) << row.major << "." << row.minor;
    EXPECT_EQ(gSizeSeen, 276u);
    // A call that fails without writing must leave a version that is refused.
    EXPECT_EQ(gMajorSeen, 0u);
  }
  gGetVersionExW = &::GetVersionExW;
}

// ---- Single instance -------------------------------------------------------------------------

std::wstring UniqueName(const wchar_t* what) {
  return std::wstring(L"Portivo unit test ") + what + L" " + std::to_wstring(GetCurrentProcessId());
}

TEST(SingleInstance, SecondCheckFindsTheFirst) {
  const std::wstring name = UniqueName(L"mutex");
  EXPECT_EQ(CheckSingleInstance(name.c_str()), kResultSuccess);
  EXPECT_EQ(CheckSingleInstance(name.c_str()), kResultAlreadyRunning);
  // The first check's mutex stays after the failed second one, also for a third installer.
  EXPECT_EQ(CheckSingleInstance(name.c_str()), kResultAlreadyRunning);

  // A mutex that cannot be made: another object kind under the name, or no such namespace.
  const std::wstring eventName = UniqueName(L"event");
  const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, eventName.c_str());
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(CheckSingleInstance(eventName.c_str()), kResultAlreadyRunning);
  CloseHandle(event);
  EXPECT_EQ(CheckSingleInstance(L"NoSuchNamespace\\Portivo unit test"), kResultAlreadyRunning);
}

// Hidden, like the installer's own window.
HWND MakeWindow(const wchar_t* className) {
  WNDCLASSEXW windowClass = {sizeof windowClass};
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
  return CreateWindowExW(0, className, className, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

TEST(SingleInstance, FirstInstanceWindowComesForward) {
  const std::wstring name = UniqueName(L"window");
  const HWND installer = MakeWindow(name.c_str());
  const HWND other = MakeWindow(L"Portivo unit test other window");
  ASSERT_NE(installer, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  PumpMessages();
  const bool chosen = GetForegroundWindow() == other;
  if (chosen) {
    EXPECT_EQ(CheckSingleInstance(name.c_str()), kResultSuccess);
    EXPECT_EQ(GetForegroundWindow(), other) << "a first instance raises nothing";
    EXPECT_EQ(CheckSingleInstance(name.c_str()), kResultAlreadyRunning);
    PumpMessages();
    EXPECT_EQ(GetForegroundWindow(), installer);
  }
  DestroyWindow(installer);
  DestroyWindow(other);
  UnregisterClassW(name.c_str(), GetModuleHandleW(nullptr));
  UnregisterClassW(L"Portivo unit test other window", GetModuleHandleW(nullptr));
  if (!chosen) GTEST_SKIP() << "this display does not let the test choose the foreground window";
}

// ---- Administrators group --------------------------------------------------------------------

struct GroupSpec { std::vector<DWORD> rids; DWORD attributes; };

// TOKEN_GROUPS laid out as GetTokenInformation returns it: the array, then the SIDs it points to.
class GroupsBuffer {
 public:
  explicit GroupsBuffer(const std::vector<GroupSpec>& groups) {
    const std::size_t header =
        sizeof(TOKEN_GROUPS) + (groups.empty() ? 0 : groups.size() - 1) * sizeof(SID_AND_ATTRIBUTES);
    std::size_t size = header;
    for (const GroupSpec& group : groups) size += GetSidLengthRequired(static_cast<UCHAR>(group.rids.size()));
    buffer_.assign((size + 3) / 4, 0);
    auto* tokenGroups = reinterpret_cast<TOKEN_GROUPS*>(buffer_.data());
    tokenGroups->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* next = reinterpret_cast<BYTE*>(buffer_.data()) + header;
    for (std::size_t i = 0; i < groups.size(); ++i) {
      SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
      const UCHAR count = static_cast<UCHAR>(groups[i].rids.size());
      InitializeSid(next, &nt, count);
      for (UCHAR k = 0; k < count; ++k) *GetSidSubAuthority(next, k) = groups[i].rids[k];
      tokenGroups->Groups[i].Sid = next;
      tokenGroups->Groups[i].Attributes = groups[i].attributes;
      next += GetSidLengthRequired(count);
    }
  }
  const TOKEN_GROUPS& groups() const { return *reinterpret_cast<const TOKEN_GROUPS*>(buffer_.data()); }

 private:
  std::vector<DWORD> buffer_;
};

TEST(IsAdministrator, GroupsListSidOverBuiltTokenGroups) {
  constexpr DWORD kEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  const struct { const char* label; std::vector<GroupSpec> groups; bool expected; } rows[] = {
      {"enabled", {{{32, 544}, kEnabled}}, true},
      {"deny-only", {{{32, 544}, SE_GROUP_USE_FOR_DENY_ONLY}}, true},
      {"present but disabled", {{{32, 544}, 0}}, true},
      {"last of several", {{{18}, kEnabled}, {{32, 545}, kEnabled}, {{32, 544}, kEnabled}}, true},
      {"no groups", {}, false},
      {"users only", {{{32, 545}, kEnabled}, {{11}, kEnabled}}, false},
      // Near misses: the same relative id outside the builtin domain, and the domain alone.
      {"544 in another domain", {{{21, 1, 2, 3, 544}, kEnabled}}, false},
      {"builtin domain itself", {{{32}, kEnabled}}, false},
  };
  const GroupsBuffer administrators({{{32, 544}, 0}});
  for (const auto& row : rows) {
    EXPECT_EQ(GroupsListSid(GroupsBuffer(row.groups).groups(), administrators.groups().Groups[0].Sid),
              row.expected) << row.label;
  }
}

DWORD gThreadTokenError;
HANDLE gThreadToken;

BOOL WINAPI FakeOpenThreadToken(HANDLE, DWORD, BOOL, HANDLE* token) {
  if (gThreadToken != nullptr) {
    *token = gThreadToken;
    return TRUE;
  }
  SetLastError(gThreadTokenError);
  return FALSE;
}

TEST(IsAdministrator, ProcessAndThreadTokens) {
  // Wine gives every process a token whose groups include S-1-5-32-544, enabled.
  EXPECT_TRUE(IsAdministrator());
  ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
  HANDLE token;
  EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
  CloseHandle(token);
  EXPECT_TRUE(IsAdministrator()) << "impersonating itself";
  RevertToSelf();

  gOpenThreadToken = &FakeOpenThreadToken;
  gThreadToken = nullptr;
  gThreadTokenError = ERROR_NO_TOKEN;
  EXPECT_TRUE(IsAdministrator()) << "no thread token: the process token decides";
  gThreadTokenError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(IsAdministrator()) << "another failure is no fallback";
  // A thread token that cannot be queried is tested instead of the process token, and fails.
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &token));
  gThreadToken = token;  // closed by IsAdministrator
  EXPECT_FALSE(IsAdministrator());
  gOpenThreadToken = &::OpenThreadToken;
}

// ---- Requested ports -------------------------------------------------------------------------

TEST(RequestedPorts, Table) {
  struct Row { const wchar_t* commandLine; int earlier; int expected; } rows[] = {
      {L"-s1 -QX:COM3 -KD:COM3", 0, kResultSamePort},
      {L"-s1 -QX:LPT1 -KD:LPT1", 0, kResultSamePort},
      {L"-s1 -KD:COM4", 0, kResultKdWithoutQx},
      {L"-s1 -QX:COM3", 0, kResultSuccess},
      {L"-s1 -QX:COM3 -KD:LPT1", 0, kResultSuccess},
      {L"-s1", 0, kResultSuccess},
      {L"-s1 -QX:COM40 -KD:COM4", 0, kResultKdWithoutQx},  // an invalid QX leaves KD alone
      // The port codes replace an earlier failure, but do not clear one.
      {L"-s1 -QX:COM3 -KD:COM3", kResultAlreadyRunning, kResultSamePort},
      {L"-s1 -QX:COM3 -KD:COM3", kResultNotAdministrator, kResultSamePort},
      {L"-s1 -KD:COM4", kResultAlreadyRunning, kResultKdWithoutQx},
      {L"-s1 -KD:LPT2", kResultNotAdministrator, kResultKdWithoutQx},
      {L"-s1 -QX:COM3 -KD:COM4", kResultAlreadyRunning, kResultAlreadyRunning},
      {L"-s1", kResultNotAdministrator, kResultNotAdministrator},
  };
  for (const Row& row : rows) {
    const RequestedPorts ports = ParsePortSwitches(row.commandLine, SilentInstall);
    EXPECT_EQ(CheckRequestedPorts(ports, row.earlier), row.expected) << row.commandLine << " after " << row.earlier;
  }
}

}  // namespace
