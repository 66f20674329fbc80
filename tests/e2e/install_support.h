// Helpers for the install-path cases: where each catalogue row lies in a package folder, and what
// the user's language makes the installer say and pass on.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "installer_runner.h"
#include "payload/catalogue.h"

namespace e2e {

inline std::wstring PayloadFileName(unsigned nameId) {
  for (const PayloadName& name : PayloadNames) {
    if (name.id == nameId) return name.text;
  }
  return L"";
}

// The folder of F<index> relative to the WorkFolder (or the package folder): "" for F1, else
// '\'-separated without a trailing separator.
inline std::wstring PayloadFolderPath(int index) {
  const PayloadFolder& folder = PayloadFolders[index - 1];
  if (folder.parent <= 1) return folder.parent == 0 ? L"" : folder.name;
  return PayloadFolderPath(folder.parent) + L"\\" + folder.name;
}

// Where a row's file lies below the WorkFolder, and below a package folder: the install set at
// its paths, the removal set at the root.
inline std::wstring PayloadRelativePath(const PayloadEntry& row) {
  std::wstring folder = PayloadFolderPath(row.folder);
  return (folder.empty() ? L"" : folder + L"\\") + PayloadFileName(row.nameId);
}

// Every row of both sets.
inline std::vector<PayloadEntry> AllPayloadRows() {
  std::vector<PayloadEntry> rows(InstallSet, InstallSet + kInstallCount);
  rows.insert(rows.end(), RemovalSet, RemovalSet + kRemovalCount);
  return rows;
}

// The user's language as the installer sees it, and what it makes of it.
struct LanguageCase {
  LANGID id;
  const wchar_t* installFailedText;
  const wchar_t* languageSwitch;
};

// The language this process runs with. Wine takes it from LANG, so a CTest entry that sets LANG
// must really have reached the prefix: a mismatch would make the language cases pass in English.
inline LanguageCase UserLanguageCase() {
  static const LanguageCase cases[] = {
      {0x0411, L"インストールに失敗しました。", L"-l0x0411"},
      {0x0404, L"安裝失敗。", L"-l0x0404"},
      {0x0804, L"安装失败。", L"-l0x0804"},
  };
  const LANGID id = GetUserDefaultLangID();
  wchar_t lang[64] = {};
  GetEnvironmentVariableW(L"LANG", lang, 64);
  const std::wstring unixLanguage = lang;
  struct Expected { const wchar_t* prefix; LANGID id; } expected[] = {
      {L"ja_JP", 0x0411}, {L"zh_TW", 0x0404}, {L"zh_CN", 0x0804}, {L"zh_HK", 0x0C04}};
  for (const Expected& e : expected) {
    if (unixLanguage.compare(0, wcslen(e.prefix), e.prefix) == 0) {
      EXPECT_EQ(e.id, id) << "LANG=" << runner::Utf8FromWide(unixLanguage) << " did not reach Wine";
    }
  }
  for (const LanguageCase& c : cases) {
    if (c.id == id) return c;
  }
  return LanguageCase{id, L"Installation failed.", L"-l0x0409"};
}

}  // namespace e2e
