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

TEST(WorkFolder, PathsTable) {
  wchar_t temp[MAX_PATH], work[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  ASSERT_TRUE(WorkFolderPath(work));
  EXPECT_EQ(std::wstring(temp) + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\", work);
  ASSERT_TRUE(BuildFolderPath(work, 8, path, MAX_PATH));
  EXPECT_EQ(std::wstring(work) + L"qxusb\\QXUSB800\\QXUSB64", path);
  EXPECT_FALSE(BuildFolderPath(L"C:\\Temp\\{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\", 4, path, 60));
  EXPECT_STREQ(L"", path);
  struct Row { const wchar_t* full; const wchar_t* native; } rows[] = {
      {L"C:\\Temp\\x", L"\\??\\C:\\Temp\\x"},
      {L"\\\\?\\C:\\Temp\\x", L"\\??\\C:\\Temp\\x"},
      {L"\\\\server\\share\\x", L"\\??\\UNC\\server\\share\\x"},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(NativePathOf(row.full, path, MAX_PATH));
    EXPECT_STREQ(row.native, path) << row.full;
  }
}

// Wine neither stores nor enforces descriptors on files, so the descriptor itself is checked:
// owner, the protected flag, and each entry with its trustee, rights and inheritance.
TEST(WorkFolder, SecurityGivesSystemAndAdministratorsAloneFullControl) {
  FolderSecurity security;
  ASSERT_TRUE(BuildWorkFolderSecurity(security));
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
      &security.descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
  EXPECT_STREQ(L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", text);
  LocalFree(text);
}
