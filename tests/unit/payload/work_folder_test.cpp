#include "payload/work_folder.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "payload/folder_security.h"

TEST(WorkFolder, TempBaseIsDroppedOnlyWhenItIsExactlyTheWindowsFolder) {
  EXPECT_STREQ(L"C:\\Temp\\", TempBaseFrom(L"C:\\Temp\\", L"C:\\windows"));
  EXPECT_STREQ(L"", TempBaseFrom(L"C:\\windows", L"C:\\windows"));
  EXPECT_STREQ(L"C:\\WINDOWS", TempBaseFrom(L"C:\\WINDOWS", L"C:\\windows"));  // exact, case-sensitive
}

TEST(WorkFolder, FolderPathsFollowTheTable) {
  const std::wstring work = L"C:\\Temp\\{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  struct Row { int folder; const wchar_t* relative; } rows[] = {
      {1, L""}, {2, L"qxusb"}, {4, L"qxusb\\QXUSB710\\QXUSBXP"}, {8, L"qxusb\\QXUSB800\\QXUSB64"},
      {10, L"qxusb\\610a\\QXUSBXP"}, {16, L"qxcomusbxp\\x86"}, {21, L"manual\\TC"},
  };
  for (const Row& row : rows) {
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(BuildFolderPath(work.c_str(), row.folder, path, MAX_PATH)) << row.folder;
    EXPECT_EQ(work + row.relative, path) << row.folder;
  }
  wchar_t tooSmall[60];
  EXPECT_FALSE(BuildFolderPath(work.c_str(), 4, tooSmall, 60));
  EXPECT_STREQ(L"", tooSmall);
}

TEST(WorkFolder, NativePathsOfEveryKindOfFullPath) {
  struct Row { const wchar_t* full; const wchar_t* native; } rows[] = {
      {L"C:\\Temp\\x", L"\\??\\C:\\Temp\\x"},
      {L"\\\\?\\C:\\Temp\\x", L"\\??\\C:\\Temp\\x"},
      {L"\\\\server\\share\\x", L"\\??\\UNC\\server\\share\\x"},
  };
  for (const Row& row : rows) {
    wchar_t native[MAX_PATH];
    ASSERT_TRUE(NativePathOf(row.full, native, MAX_PATH));
    EXPECT_STREQ(row.native, native) << row.full;
  }
}

TEST(WorkFolder, LiesInTheTemporaryFolderUnderTheFixedName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  wchar_t path[MAX_PATH];
  ASSERT_TRUE(WorkFolderPath(path));
  EXPECT_EQ(std::wstring(temp) + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\", path);
}

// Wine neither stores nor enforces descriptors on files, so the descriptor itself is what is
// checked: owner, the protected flag, and each entry with its trustee, rights and inheritance.
TEST(WorkFolder, SecurityGivesSystemAndAdministratorsAloneFullControl) {
  FolderSecurity security;
  ASSERT_TRUE(BuildWorkFolderSecurity(security));
  ASSERT_TRUE(IsValidSecurityDescriptor(&security.descriptor));
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
      &security.descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      &text, nullptr));
  EXPECT_STREQ(L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", text);
  LocalFree(text);
}
