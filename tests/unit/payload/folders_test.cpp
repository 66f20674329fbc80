#include "common/native_files.h"
#include "payload/delete_tree.h"
#include "common/object_security.h"
#include "payload/leftover_folders.h"
#include "payload/package_folder.h"
#include "payload/work_folder.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "test_registry.h"

namespace {

const wchar_t* gTempPath2 = L"";
DWORD WINAPI FakeTempPath2(DWORD capacity, LPWSTR path) { return lstrlenW(lstrcpynW(path, gTempPath2, capacity)); }

// Wine 8 has no GetTempPath2W: a stand-in gives what Windows 11 gives SYSTEM.
TEST(WorkFolder, TempBaseIsDroppedOnlyWhenItIsExactlyTheWindowsFolder) {
  EXPECT_STREQ(L"C:\\Temp\\", TempBaseFrom(L"C:\\Temp\\", L"C:\\windows"));
  EXPECT_STREQ(L"C:\\WINDOWS", TempBaseFrom(L"C:\\WINDOWS", L"C:\\windows"));  // exact, case-sensitive
  wchar_t temp[MAX_PATH], windows[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GetWindowsDirectoryW(windows, MAX_PATH);
  struct Row { TempPathFunction tempPath2; const wchar_t* gives; const wchar_t* base; } rows[] = {
      {nullptr, L"", temp}, {FakeTempPath2, L"C:\\windows\\SystemTemp\\", L"C:\\windows\\SystemTemp\\"}, {FakeTempPath2, windows, L""},
  };
  for (const Row& row : rows) {
    gTempPath2 = row.gives;
    wchar_t base[MAX_PATH] = L"?";
    TempBase(row.tempPath2, base);
    EXPECT_STREQ(row.base, base) << row.gives;
  }
}

TEST(WorkFolder, PathsTable) {
  const wchar_t work[] = L"C:\\Temp\\{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  wchar_t path[MAX_PATH];
  EXPECT_FALSE(BuildFolderPath(work, 4, path, 60));  // where each folder lies, every run shows
  EXPECT_STREQ(L"", path);
}

std::wstring Sddl(SECURITY_DESCRIPTOR* descriptor) {
  wchar_t* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::wstring sddl = text != nullptr ? text : L"<none>";
  LocalFree(text);
  return sddl;
}

// Wine keeps descriptors only as Unix permissions and enforces none, so the descriptor itself is
// checked: owner, the protected flag, and each entry with its trustee, rights and inheritance.
// An extracted package is used elevated, so only administrators may change it; Users may read it.
TEST(WorkFolder, SecurityGivesSystemAndAdministratorsAloneFullControl) {
  FolderSecurity work, package;
  ASSERT_TRUE(BuildWorkFolderSecurity(work) && BuildPackageFolderSecurity(package));
  const std::wstring both = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  EXPECT_EQ(both, Sddl(&work.descriptor));
  EXPECT_EQ(both + L"(A;OICI;0x1200a9;;;BU)", Sddl(&package.descriptor));
}

// Wine keeps a descriptor only as Unix permissions, in which the package's and the work folder's
// look alike, and gives every program an administrator's token: the extraction folder's creation is
// watched instead, and fails as the system would fail it.
LONG g_refusal = 0;
std::wstring g_madeWith;
LONG WatchedCreation(HANDLE folder, const wchar_t* name, std::size_t length, SECURITY_DESCRIPTOR* security, HANDLE* held) {
  g_madeWith = Sddl(security);
  return g_refusal != 0 ? g_refusal : CreateHeldFolder(folder, name, length, security, held);
}

TEST(PackageFolder, IsMadeWithThePackagesDescriptorOrSaysWhyNot) {
  FolderSecurity package;
  ASSERT_TRUE(BuildPackageFolderSecurity(package));
  struct Row { DWORD status; UnpackResult result; } rows[] = {{0, kUnpacked}, {0xC000005A, kOwnerNotAllowed}};
  g_createPackageFolder = WatchedCreation;
  for (const Row& row : rows) {
    ScratchFolder scratch;
    g_refusal = static_cast<LONG>(row.status);
    wchar_t name[MAX_PATH];
    WorkFolder made;
    EXPECT_EQ(row.result, MakePackageFolder((scratch / L"package").c_str(), name, made)) << row.status;
    EXPECT_EQ(Sddl(&package.descriptor), g_madeWith);
    CloseHandle(made.guard);
  }
  g_createPackageFolder = CreateHeldFolder;
}

// Read-only entries go too; entries with a leading dot stay and keep their folder.
TEST(DeleteFolderTree, RemovesNestedAndReadOnlyEntriesButNoDotEntries) {
  ScratchFolder folder;
  const std::wstring root = folder / L"tree";
  for (const wchar_t* sub : {L"", L"\\sub", L"\\sub\\deeper"}) CreateDirectoryW((root + sub).c_str(), nullptr);
  ASSERT_TRUE(WriteTestFile(root + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(root + L"\\sub\\deeper\\b.txt", "b"));
  SetFileAttributesW((root + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((root + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFolderTree((root + L"\\").c_str()));  // with the separator the WorkFolder has
  EXPECT_FALSE(Exists(root));
  ASSERT_TRUE(WriteTestFile(folder / L".keep", "k"));
  ASSERT_TRUE(WriteTestFile(folder / L"gone.txt", "g"));
  EXPECT_FALSE(DeleteFolderTree(folder.path()));
  EXPECT_TRUE(Exists(folder / L".keep"));
  EXPECT_FALSE(Exists(folder / L"gone.txt"));
  DeleteFileW((folder / L".keep").c_str());
}

// Removal clears the folder's attributes first, so a hidden mark that has gone shows that removal
// was tried; one that stays shows the folder was left untouched.
TEST(LeftoverFolders, RemoveFolderIfEmpty) {
  ScratchFolder scratch;
  constexpr DWORD kMarked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const struct { const wchar_t* folder; const wchar_t* entry; const wchar_t* asked; bool removed, tried; } rows[] = {
      {L"empty", nullptr, L"empty\\", true, true},
      {L"file", L"readme.txt", L"file", false, false},
      // ".x" names are not counted, so removal is tried; the file is never deleted, so it fails.
      {L"dotted", L".hidden", L"dotted", false, true},
  };
  for (const auto& row : rows) {
    const std::wstring folder = scratch / row.folder;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    if (row.entry) ASSERT_TRUE(WriteTestFile(folder + L"\\" + row.entry, ""));
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), kMarked));
    EXPECT_EQ(row.removed, RemoveFolderIfEmpty((scratch / row.asked).c_str())) << row.asked;
    EXPECT_EQ(row.removed, !Exists(folder)) << row.asked;
    if (row.entry) EXPECT_TRUE(Exists(folder + L"\\" + row.entry)) << row.asked;
    if (!row.removed) EXPECT_EQ(!row.tried, (GetFileAttributesW(folder.c_str()) & kMarked) == kMarked) << row.asked;
    if (row.entry) DeleteFileW((folder + L"\\" + row.entry).c_str());
  }
}

// Environment references expanded, up to the 260-character buffer. (A plain expansion is the
// removal run's, end to end.)
TEST(LeftoverFolders, FoldersComeFromTheRegistryExpanded) {
  testreg::SavedValue programFiles{HKEY_LOCAL_MACHINE, testreg::kProgramFilesKey, L"ProgramFilesPath"};
  testreg::SavedValue commonPrograms{HKEY_LOCAL_MACHINE, testreg::kShellFoldersKey, L"Common Programs"};
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", std::wstring(128, L'x').c_str());
  const std::wstring longest = L"C:\\" + std::wstring(128, L'x') + L"\\" + std::wstring(127, L'y');  // 259
  const struct { std::wstring stored, expanded; } rows[] = {
      {L"C:\\%PORTIVO_TEST_BASE%\\" + std::wstring(127, L'y'), longest},
      {L"C:\\%PORTIVO_TEST_BASE%\\%PORTIVO_TEST_BASE%\\x", L""},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(testreg::SetText(HKEY_LOCAL_MACHINE, testreg::kProgramFilesKey, L"ProgramFilesPath", REG_EXPAND_SZ, row.stored));
    ASSERT_TRUE(testreg::SetText(HKEY_LOCAL_MACHINE, testreg::kShellFoldersKey, L"Common Programs", REG_EXPAND_SZ, row.stored));
    wchar_t folder[MAX_PATH];
    EXPECT_EQ(!row.expanded.empty(), GetProgramFilesFolder(folder));
    EXPECT_EQ(row.expanded, folder);
    EXPECT_EQ(!row.expanded.empty(), GetCommonProgramsFolder(folder));
    EXPECT_EQ(row.expanded, folder);
  }
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", nullptr);
}

}  // namespace
