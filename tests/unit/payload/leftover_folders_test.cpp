#include "payload/leftover_folders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t kProgramFilesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kProgramFilesValue[] = L"ProgramFilesPath";
const wchar_t kShellFoldersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kCommonProgramsValue[] = L"Common Programs";

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << path; }

void MakeFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  CloseHandle(file);
}

// Removes everything below and including path, names with a leading "." too.
void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

// A registry value as it was before the test, put back when the test ends.
class SavedValue {
 public:
  SavedValue(const wchar_t* keyPath, const wchar_t* name) : keyPath_(keyPath), name_(name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath_, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExW(key, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      present_ = RegQueryValueExW(key, name_, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
      data_.resize(size);
    }
    RegCloseKey(key);
  }
  ~SavedValue() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath_, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (present_) {
      RegSetValueExW(key, name_, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
      RegDeleteValueW(key, name_);
    }
    RegCloseKey(key);
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  const wchar_t* keyPath_;
  const wchar_t* name_;
  bool present_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

void SetText(const wchar_t* keyPath, const wchar_t* name, DWORD type, const std::wstring& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void DeleteValue(const wchar_t* keyPath, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

// Each case works in a fresh folder of its own, points the two registry values into it, and checks
// that nothing of it is left afterwards.
class LeftoverFoldersTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"Portivo leftover test " + std::to_wstring(GetCurrentProcessId());
    RemoveTree(root_);
    MakeFolder(root_);
  }
  void TearDown() override {
    RemoveTree(root_);
    EXPECT_FALSE(Exists(root_)) << "the test folder could not be cleared";
    SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", nullptr);
  }
  std::wstring Path(const wchar_t* relative) const { return root_ + L"\\" + relative; }

  std::wstring root_;
  SavedValue programFiles_{kProgramFilesKey, kProgramFilesValue};
  SavedValue commonPrograms_{kShellFoldersKey, kCommonProgramsValue};
};

TEST_F(LeftoverFoldersTest, EmptyFolderIsRemoved) {
  MakeFolder(Path(L"empty"));
  EXPECT_TRUE(RemoveFolderIfEmpty(Path(L"empty")));
  EXPECT_FALSE(Exists(Path(L"empty")));

  MakeFolder(Path(L"slash"));
  EXPECT_TRUE(RemoveFolderIfEmpty(Path(L"slash") + L"\\"));
  EXPECT_FALSE(Exists(Path(L"slash")));
}

// Removal clears the folder's attributes first, so a hidden mark that has gone shows that removal
// was tried; one that stays shows the folder was left untouched.
constexpr DWORD kMarked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

void Mark(const std::wstring& folder) { ASSERT_TRUE(SetFileAttributesW(folder.c_str(), kMarked)); }

bool Marked(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kMarked) == kMarked;
}

TEST_F(LeftoverFoldersTest, FolderWithAFileOrFolderIsNotTouched) {
  MakeFolder(Path(L"file"));
  MakeFile(Path(L"file\\readme.txt"));
  Mark(Path(L"file"));
  EXPECT_FALSE(RemoveFolderIfEmpty(Path(L"file")));
  EXPECT_TRUE(Exists(Path(L"file\\readme.txt")));
  EXPECT_TRUE(Marked(Path(L"file")));

  MakeFolder(Path(L"folder"));
  MakeFolder(Path(L"folder\\inner"));
  Mark(Path(L"folder"));
  EXPECT_FALSE(RemoveFolderIfEmpty(Path(L"folder")));
  EXPECT_TRUE(Exists(Path(L"folder\\inner")));
  EXPECT_TRUE(Marked(Path(L"folder")));
}

TEST_F(LeftoverFoldersTest, DotNamesAreNotCountedYetKeepTheFolder) {
  // Counted as empty, so removal is tried; the file itself is never deleted, so it fails.
  MakeFolder(Path(L"dotted"));
  MakeFile(Path(L"dotted\\.hidden"));
  Mark(Path(L"dotted"));
  EXPECT_FALSE(RemoveFolderIfEmpty(Path(L"dotted")));
  EXPECT_TRUE(Exists(Path(L"dotted\\.hidden")));
  EXPECT_FALSE(Marked(Path(L"dotted")));
}

TEST_F(LeftoverFoldersTest, MissingFolderIsNotRemoved) {
  EXPECT_FALSE(RemoveFolderIfEmpty(Path(L"never made")));
  EXPECT_FALSE(RemoveFolderIfEmpty(L""));
}

TEST_F(LeftoverFoldersTest, FoldersComeFromTheRegistryExpanded) {
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", root_.c_str());
  SetText(kProgramFilesKey, kProgramFilesValue, REG_EXPAND_SZ, L"%PORTIVO_TEST_BASE%\\programs");
  SetText(kShellFoldersKey, kCommonProgramsValue, REG_EXPAND_SZ, L"%PORTIVO_TEST_BASE%\\menu");
  EXPECT_EQ(GetProgramFilesFolder(), root_ + L"\\programs");
  EXPECT_EQ(GetCommonProgramsFolder(), root_ + L"\\menu");

  // The type is not looked at.
  SetText(kProgramFilesKey, kProgramFilesValue, REG_SZ, L"C:\\plain");
  EXPECT_EQ(GetProgramFilesFolder(), L"C:\\plain");
}

TEST_F(LeftoverFoldersTest, UnreadableOrOverlongValueGivesNoFolder) {
  DeleteValue(kProgramFilesKey, kProgramFilesValue);
  DeleteValue(kShellFoldersKey, kCommonProgramsValue);
  EXPECT_EQ(GetProgramFilesFolder(), L"");
  EXPECT_EQ(GetCommonProgramsFolder(), L"");

  // Longer than the 260-character buffer once expanded.
  SetEnvironmentVariableW(L"PORTIVO_TEST_BASE", std::wstring(200, L'x').c_str());
  SetText(kProgramFilesKey, kProgramFilesValue, REG_EXPAND_SZ,
          L"C:\\%PORTIVO_TEST_BASE%\\%PORTIVO_TEST_BASE%");
  EXPECT_EQ(GetProgramFilesFolder(), L"");
}

TEST_F(LeftoverFoldersTest, LeftoverFoldersGoOnlyWhenEmpty) {
  MakeFolder(Path(L"programs"));
  MakeFolder(Path(L"menu"));
  SetText(kProgramFilesKey, kProgramFilesValue, REG_SZ, Path(L"programs"));
  SetText(kShellFoldersKey, kCommonProgramsValue, REG_SZ, Path(L"menu"));
  MakeFolder(Path(L"programs\\ORVIK"));
  MakeFolder(Path(L"menu\\ORVIK"));
  MakeFile(Path(L"menu\\ORVIK\\Portivo.lnk"));
  MakeFolder(Path(L"menu\\ORVIK Portivo"));

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
  const std::wstring driveRoot = root_.substr(0, 3);
  const std::wstring rootOrvik = driveRoot + L"ORVIK";
  const std::wstring rootPortivo = driveRoot + L"ORVIK Portivo";
  ASSERT_FALSE(Exists(rootOrvik)) << "the drive root already holds an ORVIK folder";
  ASSERT_FALSE(Exists(rootPortivo)) << "the drive root already holds an ORVIK Portivo folder";
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str()));
  MakeFolder(rootOrvik);
  MakeFolder(rootPortivo);
  MakeFolder(Path(L"menu"));
  MakeFolder(Path(L"menu\\ORVIK"));

  DeleteValue(kProgramFilesKey, kProgramFilesValue);
  SetText(kShellFoldersKey, kCommonProgramsValue, REG_SZ, Path(L"menu"));
  RemoveLeftoverFolders();
  EXPECT_TRUE(Exists(rootOrvik));
  EXPECT_FALSE(Exists(Path(L"menu\\ORVIK")));  // the readable value's step still runs

  DeleteValue(kShellFoldersKey, kCommonProgramsValue);
  RemoveLeftoverFolders();
  EXPECT_TRUE(Exists(rootOrvik));
  EXPECT_TRUE(Exists(rootPortivo));

  SetCurrentDirectoryW(previous);
  RemoveDirectoryW(rootOrvik.c_str());
  RemoveDirectoryW(rootPortivo.c_str());
  EXPECT_FALSE(Exists(rootOrvik));
  EXPECT_FALSE(Exists(rootPortivo));
}

}  // namespace
