#include "run/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "common/language.h"

TEST(Messages, LanguageIdChoosesTheSetByTheWholeId) {
  struct Row { LANGID id; UiLanguage language; } rows[] = {
      {1041, UiLanguage::Japanese}, {1028, UiLanguage::TraditionalChinese}, {2052, UiLanguage::SimplifiedChinese},
      {1033, UiLanguage::English},  {3076, UiLanguage::English},  // zh-HK
      {0x0011, UiLanguage::English},  // neutral Japanese
  };
  for (const Row& row : rows) EXPECT_EQ(row.language, LanguageForId(row.id)) << row.id;
}

// Each box code to its text, and each set with texts of its own; codes without a box get none.
TEST(Messages, MessageForCodeTable) {
  struct Row { UiLanguage language; int code; const wchar_t* text; } rows[] = {
      {UiLanguage::English, 101, L"This installer is already running."},
      {UiLanguage::English, 102, L"This operating system is not supported.\r\nInstallation canceled."},
      {UiLanguage::English, 103, L"Orvik Portivo with different operation mode is installed.\r\n"
                                 L"First, uninstall the Orvik Portivo with a different operation mode."},
      {UiLanguage::English, 104, L"Please log on administrator account."},
      {UiLanguage::English, 1001, L"Installation failed."},
      {UiLanguage::English, 0, L""}, {UiLanguage::English, 106, L""},
      {UiLanguage::Japanese, 104, L"管理者権限で実行してください。"},
      {UiLanguage::TraditionalChinese, 1001, L"安裝失敗。"},
      {UiLanguage::SimplifiedChinese, 1001, L"安装失败。"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::wstring(row.text), MessageForCode(MessageSetFor(row.language), row.code)) << row.code;
  }
}
