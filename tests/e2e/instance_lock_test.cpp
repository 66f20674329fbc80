// The single-instance lock across sessions and against a plain user's process. Wine keeps the
// global and the session namespaces apart as Windows does, and stores the owner a descriptor names,
// so a lock held here in a process of the test's own stands for an installer that runs as SYSTEM
// in session 0, or for a lock a process that is not elevated took first.
#include "e2e_support.h"

#include <sddl.h>

namespace e2e {
namespace {

const wchar_t kAlreadyRunningText[] = L"This installer is already running.";

// The SDDL of this process's own user: the owner a process that is not elevated gives its objects.
std::wstring OwnUserSid() {
  HANDLE token = nullptr;
  BYTE buffer[256];
  DWORD size = 0;
  wchar_t* text = nullptr;
  std::wstring sid;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
      GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  if (token != nullptr) CloseHandle(token);
  return sid;
}

// A named object held for one row, closed however the row ends.
struct HeldName {
  HANDLE handle = nullptr;
  HeldName(const std::wstring& name, const std::wstring& sddl, bool mutex) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) return;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    handle = mutex ? CreateMutexW(&attributes, FALSE, name.c_str()) : CreateEventW(&attributes, TRUE, FALSE, name.c_str());
    if (handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(handle);
      handle = nullptr;
    }
    LocalFree(descriptor);
  }
  ~HeldName() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

using InstanceLock = InstallerTest;

// An installer of another session holds the global name (owner Administrators, as an elevated
// process makes it): every mode is refused with 101, the box only where a person asked, and a bad
// port pair still outranks it. What a process that was not elevated took first, under either name,
// and an object of another kind at the name, keep nobody out: the run installs or removes, and
// its log says whose lock it found.
TEST_F(InstanceLock, OnlyAnotherInstallersLockKeepsARunOut) {
  const std::wstring user = OwnUserSid();
  ASSERT_FALSE(user.empty());
  const std::wstring global = L"Global\\Portivo Installer", plain = L"Portivo Installer";
  const std::wstring installers = L"O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)", users = L"O:" + user + L"D:(A;;GA;;;WD)";
  struct Row { const std::wstring& name; const std::wstring& sddl; bool mutex; const wchar_t* arguments; DWORD code;
               const wchar_t* box; const std::wstring logged; } rows[] = {
      {global, installers, true, L"-s1", 101, nullptr, L"lock " + global + L": held by another installer: a mutex with the owner S-1-5-32-544"},
      {global, installers, true, L"-u3", 101, nullptr, L""},
      {global, installers, true, L"", 101, kAlreadyRunningText, L""},
      {global, installers, true, L"-s1 -QX:COM3 -KD:COM3", 106, nullptr, L""},
      {global, users, true, L"-s1", 42, nullptr, L"lock " + global + L": a mutex with the owner " + user + L" stands at its name"},
      {plain, users, true, L"-u3", 0, nullptr, L"lock " + plain + L": a mutex with the owner " + user + L" stands at its name"},
      {plain, users, false, L"-s1", 42, nullptr, L"lock " + plain + L": an object of another kind stands at its name"},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(row.name + L" " + row.sddl + L" " + row.arguments);
    HeldName held(row.name, row.sddl, row.mutex);
    ASSERT_NE(nullptr, held.handle) << label;
    runner::RunReport report = Run(std::wstring(row.arguments) + L" " + LogSwitch(), {runner::SetEnv(L"PROBE_POST", L"42")});
    EXPECT_EQ(row.code, report.exit_code) << label;
    ASSERT_EQ(row.box == nullptr ? 0u : 1u, report.boxes.size()) << label;
    if (row.box != nullptr) EXPECT_EQ(row.box, report.boxes[0].text) << label;
    bool logged = row.logged.empty();
    for (const std::wstring& line : LogLines()) logged = logged || line.find(row.logged) != std::wstring::npos;
    EXPECT_TRUE(logged) << label << ": not logged: " << Narrow(row.logged);
    const bool refused = row.code == 101 || row.code == 106;
    EXPECT_EQ(refused || row.code == 0, SetupRecord().empty()) << label;
    EXPECT_EQ(row.code != 0, RemovalLog().empty()) << label;
    if (refused) EXPECT_FALSE(Exists(WorkFolder())) << label << ": something was unpacked";
  }
}

}  // namespace
}  // namespace e2e
