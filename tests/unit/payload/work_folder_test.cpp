#include "payload/work_folder.h"

#include <gtest/gtest.h>

TEST(WorkFolder, TempBaseIsDroppedOnlyWhenItIsExactlyTheWindowsFolder) {
  EXPECT_EQ(L"C:\\Temp\\", TempBaseFrom(L"C:\\Temp\\", L"C:\\windows"));
  EXPECT_EQ(L"", TempBaseFrom(L"C:\\windows", L"C:\\windows"));
  EXPECT_EQ(L"C:\\WINDOWS", TempBaseFrom(L"C:\\WINDOWS", L"C:\\windows"));  // exact, case-sensitive
  EXPECT_EQ(L"", TempBaseFrom(L"", L"C:\\windows"));
}

TEST(WorkFolder, FolderPathsFollowTheTable) {
  const std::wstring work = L"C:\\Temp\\{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  std::vector<std::wstring> paths = BuildFolderPaths(work, 21);
  ASSERT_EQ(21u, paths.size());
  struct Row { int folder; const wchar_t* relative; } rows[] = {
      {1, L""}, {2, L"qxusb"}, {3, L"qxusb\\QXUSB710"}, {4, L"qxusb\\QXUSB710\\QXUSBXP"},
      {8, L"qxusb\\QXUSB800\\QXUSB64"}, {9, L"qxusb\\610a"}, {10, L"qxusb\\610a\\QXUSBXP"},
      {11, L"qxcomusb"}, {16, L"qxcomusbxp\\x86"}, {17, L"manual"}, {21, L"manual\\TC"},
  };
  for (const Row& row : rows) EXPECT_EQ(work + row.relative, paths[row.folder - 1]) << row.folder;
  EXPECT_EQ(1u, BuildFolderPaths(work, 1).size());
}

TEST(WorkFolder, LiesInTheTemporaryFolderUnderTheFixedName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(std::wstring(temp) + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\", WorkFolderPath());
}
