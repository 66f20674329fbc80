#include "run/startup_checks.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run/result_codes.h"

namespace {

// ---- Driver mode ---------------------------------------------------------------------------

struct DriverModeRow {
  bool emulatorService;
  bool kernelModeMark;
  DriverMode driverMode;
  int expected;
};

class DriverModeTableTest : public testing::TestWithParam<DriverModeRow> {};

TEST_P(DriverModeTableTest, Result) {
  const DriverModeRow& row = GetParam();
  EXPECT_EQ(DriverModeResult(row.emulatorService, row.kernelModeMark, row.driverMode), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverModeTableTest,
    testing::Values(DriverModeRow{true, true, KernelMode, kResultModeConflict},
                    DriverModeRow{true, false, KernelMode, kResultModeConflict},
                    DriverModeRow{true, true, UserMode, kResultSuccess},
                    DriverModeRow{true, false, UserMode, kResultSuccess},
                    DriverModeRow{false, true, UserMode, kResultModeConflict},
                    DriverModeRow{false, true, KernelMode, kResultSuccess},
                    DriverModeRow{false, false, UserMode, kResultSuccess},
                    DriverModeRow{false, false, KernelMode, kResultSuccess}));

const wchar_t kKernelKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";

bool KeyExists(const wchar_t* path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void CreateKey(const wchar_t* path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void SetValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

// The service keys belong to the driver; the test prefix must not have them, and each case leaves
// them absent again.
class DriverModeRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(KeyExists(kKernelKey)) << "the test prefix already has the kernel-mode service key";
    ASSERT_FALSE(KeyExists(kEmulatorKey)) << "the test prefix already has the emulator service key";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKernelKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEmulatorKey);
    EXPECT_FALSE(KeyExists(kKernelKey));
    EXPECT_FALSE(KeyExists(kEmulatorKey));
  }
  void ExpectResults(int userMode, int kernelMode) {
    EXPECT_EQ(CheckDriverMode(UserMode), userMode);
    EXPECT_EQ(CheckDriverMode(KernelMode), kernelMode);
  }
};

TEST_F(DriverModeRegistryTest, NothingInstalledPasses) {
  ExpectResults(kResultSuccess, kResultSuccess);
}

TEST_F(DriverModeRegistryTest, DwordMarkHoldingZeroIsAKernelModeInstall) {
  CreateKey(kKernelKey);
  const DWORD zero = 0;
  SetValue(kKernelKey, L"KM", REG_DWORD, &zero, sizeof zero);
  ExpectResults(kResultModeConflict, kResultSuccess);
}

TEST_F(DriverModeRegistryTest, MarkOfAnyTypeThatFitsCounts) {
  CreateKey(kKernelKey);
  const wchar_t text[] = L"a";  // 4 bytes with its terminator
  SetValue(kKernelKey, L"KM", REG_SZ, text, sizeof text);
  ExpectResults(kResultModeConflict, kResultSuccess);
}

TEST_F(DriverModeRegistryTest, MarkLongerThanFourBytesCountsAsAbsent) {
  CreateKey(kKernelKey);
  const wchar_t text[] = L"kernel";
  SetValue(kKernelKey, L"KM", REG_SZ, text, sizeof text);
  ExpectResults(kResultSuccess, kResultSuccess);
}

TEST_F(DriverModeRegistryTest, KernelKeyWithoutMarkPasses) {
  CreateKey(kKernelKey);
  ExpectResults(kResultSuccess, kResultSuccess);
}

TEST_F(DriverModeRegistryTest, EmulatorServiceRefusesKernelMode) {
  CreateKey(kEmulatorKey);
  ExpectResults(kResultSuccess, kResultModeConflict);
}

TEST_F(DriverModeRegistryTest, EmulatorServiceOverridesTheKernelModeMark) {
  CreateKey(kEmulatorKey);
  CreateKey(kKernelKey);
  const DWORD one = 1;
  SetValue(kKernelKey, L"KM", REG_DWORD, &one, sizeof one);
  ExpectResults(kResultSuccess, kResultModeConflict);
}

// ---- Windows version -------------------------------------------------------------------------

struct VersionRow {
  bool callSucceeds;
  DWORD major;
  DWORD minor;
  int expected;
};

VersionRow gVersionRow;
DWORD gSizeSeen;
DWORD gMajorSeen;

BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOW* version) {
  gSizeSeen = version->dwOSVersionInfoSize;
  gMajorSeen = version->dwMajorVersion;
  if (!gVersionRow.callSucceeds) return FALSE;
  version->dwMajorVersion = gVersionRow.major;
  version->dwMinorVersion = gVersionRow.minor;
  return TRUE;
}

class WindowsVersionTest : public testing::TestWithParam<VersionRow> {
 protected:
  void TearDown() override { gGetVersionExW = &::GetVersionExW; }
};

TEST_P(WindowsVersionTest, Result) {
  gVersionRow = GetParam();
  gGetVersionExW = &FakeGetVersionEx;
  gMajorSeen = 99;
  EXPECT_EQ(CheckWindowsVersion(), gVersionRow.expected);
  EXPECT_EQ(gSizeSeen, 276u);
  // A call that fails without writing must leave a version that is refused.
  EXPECT_EQ(gMajorSeen, 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsVersionTest,
                         testing::Values(VersionRow{false, 0, 0, kResultUnsupportedOs},
                                         VersionRow{true, 4, 0, kResultUnsupportedOs},
                                         VersionRow{true, 4, 90, kResultUnsupportedOs},
                                         VersionRow{true, 5, 0, kResultSuccess},
                                         VersionRow{true, 6, 1, kResultSuccess},
                                         VersionRow{true, 10, 0, kResultSuccess}));

TEST(WindowsVersion, WinePasses) {
  EXPECT_EQ(CheckWindowsVersion(), kResultSuccess);
}

// ---- Single instance -------------------------------------------------------------------------

std::wstring UniqueName(const wchar_t* what) {
  return std::wstring(L"Portivo unit test ") + what + L" " + std::to_wstring(GetCurrentProcessId());
}

TEST(SingleInstance, SecondCheckInOneProcessFinds) {
  const std::wstring name = UniqueName(L"mutex");
  EXPECT_EQ(CheckSingleInstance(name), kResultSuccess);
  EXPECT_EQ(CheckSingleInstance(name), kResultAlreadyRunning);
  // The first check's mutex stays after the failed second one, also for a third installer.
  EXPECT_EQ(CheckSingleInstance(name), kResultAlreadyRunning);
}

TEST(SingleInstance, MutexThatCannotBeMadeCountsAsRunning) {
  // Another object kind under the same name, and a namespace that does not exist.
  const std::wstring name = UniqueName(L"event");
  const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(CheckSingleInstance(name), kResultAlreadyRunning);
  CloseHandle(event);
  EXPECT_EQ(CheckSingleInstance(L"NoSuchNamespace\\Portivo unit test"), kResultAlreadyRunning);
}

// Hidden, like the installer's own window.
HWND MakeWindow(const wchar_t* className, const wchar_t* title) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
  const HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 10, 10,
                                      200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return window;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

TEST(SingleInstance, FirstInstanceWindowComesForward) {
  const std::wstring name = UniqueName(L"window");
  const HWND installer = MakeWindow(name.c_str(), L"first installer");
  const HWND other = MakeWindow(L"Portivo unit test other window", L"other");
  ASSERT_NE(installer, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  PumpMessages();
  if (GetForegroundWindow() != other) {
    DestroyWindow(installer);
    DestroyWindow(other);
    GTEST_SKIP() << "this display does not let the test choose the foreground window";
  }
  EXPECT_EQ(CheckSingleInstance(name), kResultSuccess);
  EXPECT_EQ(GetForegroundWindow(), other) << "a first instance raises nothing";
  EXPECT_EQ(CheckSingleInstance(name), kResultAlreadyRunning);
  PumpMessages();
  EXPECT_EQ(GetForegroundWindow(), installer);
  DestroyWindow(installer);
  DestroyWindow(other);
  UnregisterClassW(name.c_str(), GetModuleHandleW(nullptr));
  UnregisterClassW(L"Portivo unit test other window", GetModuleHandleW(nullptr));
}

// ---- Administrators group --------------------------------------------------------------------

// A SID of the NT authority with the given sub-authorities (at most 8); freed with the holder.
class Sid {
 public:
  explicit Sid(std::vector<DWORD> rids) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    const BYTE count = static_cast<BYTE>(rids.size());
    rids.resize(8, 0);
    AllocateAndInitializeSid(&nt, count, rids[0], rids[1], rids[2], rids[3], rids[4], rids[5],
                             rids[6], rids[7], &sid_);
  }
  ~Sid() { FreeSid(sid_); }
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
  PSID get() const { return sid_; }

 private:
  PSID sid_ = nullptr;
};

struct GroupSpec {
  std::vector<DWORD> rids;
  DWORD attributes;
};

struct GroupsRow {
  const char* label;
  std::vector<GroupSpec> groups;
  bool expected;
};

// TOKEN_GROUPS laid out as GetTokenInformation returns it: the array, then the SIDs it points to.
class GroupsBuffer {
 public:
  explicit GroupsBuffer(const std::vector<GroupSpec>& groups) {
    for (const GroupSpec& group : groups) {
      sids_.emplace_back(new Sid(group.rids));
    }
    const std::size_t header =
        sizeof(TOKEN_GROUPS) + (groups.empty() ? 0 : groups.size() - 1) * sizeof(SID_AND_ATTRIBUTES);
    std::size_t size = header;
    for (const auto& sid : sids_) size += GetLengthSid(sid->get());
    buffer_.assign((size + 3) / 4, 0);
    auto* tokenGroups = reinterpret_cast<TOKEN_GROUPS*>(buffer_.data());
    tokenGroups->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* next = reinterpret_cast<BYTE*>(buffer_.data()) + header;
    for (std::size_t i = 0; i < groups.size(); ++i) {
      const DWORD length = GetLengthSid(sids_[i]->get());
      CopySid(length, next, sids_[i]->get());
      tokenGroups->Groups[i].Sid = next;
      tokenGroups->Groups[i].Attributes = groups[i].attributes;
      next += length;
    }
  }
  const TOKEN_GROUPS& groups() const { return *reinterpret_cast<const TOKEN_GROUPS*>(buffer_.data()); }

 private:
  std::vector<std::unique_ptr<Sid>> sids_;
  std::vector<DWORD> buffer_;
};

constexpr DWORD kEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

class GroupsListSidTest : public testing::TestWithParam<GroupsRow> {};

TEST_P(GroupsListSidTest, Administrators) {
  const GroupsRow& row = GetParam();
  const GroupsBuffer buffer(row.groups);
  const Sid administrators({32, 544});
  EXPECT_EQ(GroupsListSid(buffer.groups(), administrators.get()), row.expected) << row.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, GroupsListSidTest,
    testing::Values(
        GroupsRow{"enabled", {{{32, 544}, kEnabled}}, true},
        GroupsRow{"deny-only", {{{32, 544}, SE_GROUP_USE_FOR_DENY_ONLY}}, true},
        GroupsRow{"present but disabled", {{{32, 544}, 0}}, true},
        GroupsRow{"last of several", {{{18}, kEnabled}, {{32, 545}, kEnabled}, {{32, 544}, kEnabled}}, true},
        GroupsRow{"no groups", {}, false},
        GroupsRow{"users only", {{{32, 545}, kEnabled}, {{11}, kEnabled}}, false},
        // Near misses: the same relative id outside the builtin domain, and the domain alone.
        GroupsRow{"544 in another domain", {{{21, 1, 2, 3, 544}, kEnabled}}, false},
        GroupsRow{"builtin domain itself", {{{32}, kEnabled}}, false}));

TEST(IsAdministrator, WineTokenListsAdministrators) {
  // Wine gives every process a token whose groups include S-1-5-32-544, enabled.
  EXPECT_TRUE(IsAdministrator());
}

TEST(IsAdministrator, ImpersonatedSelfIsTested) {
  ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
  HANDLE token;
  EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
  CloseHandle(token);
  EXPECT_TRUE(IsAdministrator());
  RevertToSelf();
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

class ThreadTokenTest : public testing::Test {
 protected:
  void SetUp() override {
    gThreadToken = nullptr;
    gOpenThreadToken = &FakeOpenThreadToken;
  }
  void TearDown() override { gOpenThreadToken = &::OpenThreadToken; }
};

TEST_F(ThreadTokenTest, NoThreadTokenFallsBackToTheProcessToken) {
  gThreadTokenError = ERROR_NO_TOKEN;
  EXPECT_TRUE(IsAdministrator());
}

TEST_F(ThreadTokenTest, OtherFailureGivesFalseWithoutTheProcessToken) {
  gThreadTokenError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(IsAdministrator());
}

TEST_F(ThreadTokenTest, ThreadTokenThatCannotBeQueriedGivesFalse) {
  // The process token lists the administrators; a thread token is tested instead of it.
  HANDLE token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &token));
  gThreadToken = token;  // closed by IsAdministrator
  EXPECT_FALSE(IsAdministrator());
}

// ---- Requested ports -------------------------------------------------------------------------

struct PortCheckRow {
  const wchar_t* commandLine;
  int resultCode;  // what the earlier checks left
  int expected;
};

class RequestedPortsTest : public testing::TestWithParam<PortCheckRow> {};

TEST_P(RequestedPortsTest, Result) {
  const PortCheckRow& row = GetParam();
  const RequestedPorts ports = ParsePortSwitches(row.commandLine, SilentInstall);
  EXPECT_EQ(CheckRequestedPorts(ports, row.resultCode), row.expected) << row.commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestedPortsTest,
    testing::Values(PortCheckRow{L"-s1 -QX:COM3 -KD:COM3", 0, kResultSamePort},
                    PortCheckRow{L"-s1 -QX:LPT1 -KD:LPT1", 0, kResultSamePort},
                    PortCheckRow{L"-s1 -KD:COM4", 0, kResultKdWithoutQx},
                    PortCheckRow{L"-s1 -QX:COM3", 0, kResultSuccess},
                    PortCheckRow{L"-s1 -QX:COM3 -KD:LPT1", 0, kResultSuccess},
                    PortCheckRow{L"-s1", 0, kResultSuccess},
                    // An invalid QX number leaves the KD port alone.
                    PortCheckRow{L"-s1 -QX:COM40 -KD:COM4", 0, kResultKdWithoutQx},
                    // The port codes replace an earlier failure, but do not clear one.
                    PortCheckRow{L"-s1 -QX:COM3 -KD:COM3", kResultAlreadyRunning, kResultSamePort},
                    PortCheckRow{L"-s1 -QX:COM3 -KD:COM3", kResultNotAdministrator, kResultSamePort},
                    PortCheckRow{L"-s1 -KD:COM4", kResultAlreadyRunning, kResultKdWithoutQx},
                    PortCheckRow{L"-s1 -KD:LPT2", kResultNotAdministrator, kResultKdWithoutQx},
                    PortCheckRow{L"-s1 -QX:COM3 -KD:COM4", kResultAlreadyRunning, kResultAlreadyRunning},
                    PortCheckRow{L"-s1", kResultNotAdministrator, kResultNotAdministrator}));

}  // namespace
