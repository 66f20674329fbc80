#include "payload/leftover_folders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "scratch_folder.h"
#include "test_registry.h"

namespace {

const wchar_t kProgramFilesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kProgramFilesValue[] = L"ProgramFilesPath";
const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kCommonProgramsValue[] = L"Common Programs";

// Each case works in a fresh folder, points the two registry values into it, and puts them back.
class LeftoverFoldersTest : public testing::Test {
 protected:
  void TearDown() override { SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", nullptr); }
  // Makes folders (names ending in "\") and empty files below the scratch folder.
  void Make(const std::vector<std::wstring>& entries) {
    for (const std::wstring& entry : entries) {
      if (entry.back() == L'\\') {
        ASSERT_TRUE(CreateDirectoryW(Path(entry).c_str(), nullptr)) << entry;
      } else {
        ASSERT_TRUE(WriteTestFile(Path(entry), "")) << entry;
      }
    }
  }
  std::wstring Path(const std::wstring& relative) const { return folder_ / relative; }
  static void PointAt(const wchar_t* key, const wchar_t* value, DWORD type, const std::wstring& path) {
    ASSERT_TRUE(testreg::SetText(HKEY_LOCAL_MACHINE, key, value, type, path));
  }

  testreg::SavedValue programFiles_{HKEY_LOCAL_MACHINE, kProgramFilesKey, kProgramFilesValue};
  testreg::SavedValue commonPrograms_{HKEY_LOCAL_MACHINE, kShellFoldersKey, kCommonProgramsValue};
  ScratchFolder folder_;
};

std::wstring ProgramFiles() {
  wchar_t folder[MAX_PATH];
  const bool read = GetProgramFilesFolder(folder);
  EXPECT_EQ(read, folder[0] != L'\0');
  return folder;
}

std::wstring CommonPrograms() {
  wchar_t folder[MAX_PATH];
  const bool read = GetCommonProgramsFolder(folder);
  EXPECT_EQ(read, folder[0] != L'\0');
  return folder;
}

// Removal clears the folder's attributes first, so a hidden mark that has gone shows that removal
// was tried; one that stays shows the folder was left untouched.
TEST_F(LeftoverFoldersTest, RemoveFolderIfEmpty) {
  constexpr DWORD kMarked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const struct {
    std::vector<std::wstring> entries;  // the first is the folder asked about
    const wchar_t* asked;
    bool removed;
    bool tried;
  } rows[] = {
      {{L"empty\\"}, L"empty", true, true},
      {{L"slash\\"}, L"slash\\", true, true},
      {{L"file\\", L"file\\readme.txt"}, L"file", false, false},
      {{L"folder\\", L"folder\\inner\\"}, L"folder", false, false},
      // ".x" names are not counted, so removal is tried; the file is never deleted, so it fails.
      {{L"dotted\\", L"dotted\\.hidden"}, L"dotted", false, true},
  };
  for (const auto& row : rows) {
    Make(row.entries);
    const std::wstring folder = Path(row.entries[0]);
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), kMarked));
    EXPECT_EQ(row.removed, RemoveFolderIfEmpty(Path(row.asked).c_str())) << row.asked;
    EXPECT_EQ(row.removed, !Exists(folder)) << row.asked;
    for (std::size_t i = 1; i < row.entries.size(); ++i) EXPECT_TRUE(Exists(Path(row.entries[i])));
    if (!row.removed) {
      EXPECT_EQ(!row.tried, (GetFileAttributesW(folder.c_str()) & kMarked) == kMarked) << row.asked;
    }
  }
  DeleteFileW(Path(L"dotted\\.hidden").c_str());
  EXPECT_FALSE(RemoveFolderIfEmpty(Path(L"never made").c_str()));
  EXPECT_FALSE(RemoveFolderIfEmpty(L""));
}

TEST_F(LeftoverFoldersTest, FoldersComeFromTheRegistryExpanded) {
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", folder_.path().c_str());
  PointAt(kProgramFilesKey, kProgramFilesValue, REG_EXPAND_SZ, L"%PORTIVO_TEST_BASE%\\programs");
  PointAt(kShellFoldersKey, kCommonProgramsValue, REG_EXPAND_SZ, L"%PORTIVO_TEST_BASE%\\menu");
  EXPECT_EQ(ProgramFiles(), Path(L"programs"));
  EXPECT_EQ(CommonPrograms(), Path(L"menu"));
  PointAt(kProgramFilesKey, kProgramFilesValue, REG_SZ, L"C:\\plain");  // the type is not looked at
  EXPECT_EQ(ProgramFiles(), L"C:\\plain");

  testreg::DeleteValue(HKEY_LOCAL_MACHINE, kProgramFilesKey, kProgramFilesValue);
  testreg::DeleteValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, kCommonProgramsValue);
  EXPECT_EQ(ProgramFiles(), L"");
  EXPECT_EQ(CommonPrograms(), L"");
  // Longer than the 260-character buffer once expanded.
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", std::wstring(200, L'x').c_str());
  PointAt(kProgramFilesKey, kProgramFilesValue, REG_EXPAND_SZ, L"C:\\%PORTIVO_TEST_BASE%\\%PORTIVO_TEST_BASE%");
  EXPECT_EQ(ProgramFiles(), L"");
}

TEST_F(LeftoverFoldersTest, LeftoverFoldersGoOnlyWhenEmpty) {
  Make({L"programs\\", L"menu\\", L"programs\\ORVIK\\", L"menu\\ORVIK\\", L"menu\\ORVIK\\Portivo.lnk",
        L"menu\\ORVIK Portivo\\"});
  PointAt(kProgramFilesKey, kProgramFilesValue, REG_SZ, Path(L"programs"));
  PointAt(kShellFoldersKey, kCommonProgramsValue, REG_SZ, Path(L"menu"));
  RemoveLeftoverFolders();
  EXPECT_FALSE(Exists(Path(L"programs\\ORVIK")));
  EXPECT_TRUE(Exists(Path(L"menu\\ORVIK\\Portivo.lnk")));
  EXPECT_FALSE(Exists(Path(L"menu\\ORVIK Portivo")));
  EXPECT_TRUE(Exists(Path(L"programs")));
  EXPECT_TRUE(Exists(Path(L"menu")));
}

TEST_F(LeftoverFoldersTest, UnreadableValueSkipsItsStepAndLeavesTheDriveRootAlone) {
  // Without a base, "\ORVIK" would name a folder at the root of the current drive. The test runs
  // with the test folder's drive current, whose root lies in the throwaway test prefix.
  const std::wstring driveRoot = folder_.path().substr(0, 3);
  const std::wstring rootOrvik = driveRoot + L"ORVIK", rootPortivo = driveRoot + L"ORVIK Portivo";
  ASSERT_FALSE(Exists(rootOrvik)) << "the drive root already holds an ORVIK folder";
  ASSERT_FALSE(Exists(rootPortivo)) << "the drive root already holds an ORVIK Portivo folder";
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder_.path().c_str()));
  CreateDirectoryW(rootOrvik.c_str(), nullptr);
  CreateDirectoryW(rootPortivo.c_str(), nullptr);
  Make({L"menu\\", L"menu\\ORVIK\\"});

  testreg::DeleteValue(HKEY_LOCAL_MACHINE, kProgramFilesKey, kProgramFilesValue);
  PointAt(kShellFoldersKey, kCommonProgramsValue, REG_SZ, Path(L"menu"));
  RemoveLeftoverFolders();
  EXPECT_TRUE(Exists(rootOrvik));
  EXPECT_FALSE(Exists(Path(L"menu\\ORVIK")));  // the readable value's step still runs

  testreg::DeleteValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, kCommonProgramsValue);
  RemoveLeftoverFolders();
  EXPECT_TRUE(Exists(rootOrvik));
  EXPECT_TRUE(Exists(rootPortivo));

  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(RemoveDirectoryW(rootOrvik.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(rootPortivo.c_str()));
}

}  // namespace
