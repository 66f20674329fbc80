#include "payload/work_folder.h"

#include <gtest/gtest.h>

#include <string>

TEST(WorkFolder, TempBaseIsDroppedOnlyWhenItIsExactlyTheWindowsFolder) {
  EXPECT_EQ(std::wstring(L"C:\\Temp\\"), TempBaseFrom(L"C:\\Temp\\", L"C:\\windows"));
  EXPECT_EQ(std::wstring(L""), TempBaseFrom(L"C:\\windows", L"C:\\windows"));
  EXPECT_EQ(std::wstring(L"C:\\WINDOWS"), TempBaseFrom(L"C:\\WINDOWS", L"C:\\windows"));  // exact, case-sensitive
  EXPECT_EQ(std::wstring(L""), TempBaseFrom(L"", L"C:\\windows"));
}

TEST(WorkFolder, FolderPathsFollowTheTable) {
  const std::wstring work = L"C:\\Temp\\{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  wchar_t paths[21][MAX_PATH];
  ASSERT_TRUE(BuildFolderPaths(work.c_str(), 21, paths));
  struct Row { int folder; const wchar_t* relative; } rows[] = {
      {1, L""}, {2, L"qxusb"}, {3, L"qxusb\\QXUSB710"}, {4, L"qxusb\\QXUSB710\\QXUSBXP"},
      {8, L"qxusb\\QXUSB800\\QXUSB64"}, {9, L"qxusb\\610a"}, {10, L"qxusb\\610a\\QXUSBXP"},
      {11, L"qxcomusb"}, {16, L"qxcomusbxp\\x86"}, {17, L"manual"}, {21, L"manual\\TC"},
  };
  for (const Row& row : rows) EXPECT_EQ(work + row.relative, paths[row.folder - 1]) << row.folder;
  // A folder whose path does not fit stays empty, and so does everything below it.
  const std::wstring deep(MAX_PATH - 1 - 14, L'w');  // room for "qxusb\QXUSB710" exactly
  ASSERT_FALSE(BuildFolderPaths(deep.c_str(), 5, paths));
  EXPECT_EQ(deep + L"qxusb\\QXUSB710", paths[2]);
  EXPECT_EQ(std::wstring(), paths[3]);
  EXPECT_EQ(std::wstring(), paths[4]);
}

TEST(WorkFolder, LiesInTheTemporaryFolderUnderTheFixedName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  wchar_t work[MAX_PATH];
  ASSERT_TRUE(WorkFolderPath(work));
  EXPECT_EQ(std::wstring(temp) + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\", work);
}
