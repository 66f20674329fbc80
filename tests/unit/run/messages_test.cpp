#include "run/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "common/language.h"

TEST(Messages, LanguageIdChoosesTheSetByTheWholeId) {
  struct Row { LANGID id; UiLanguage language; } rows[] = {
      {1041, UiLanguage::Japanese},          {1028, UiLanguage::TraditionalChinese},
      {2052, UiLanguage::SimplifiedChinese}, {1033, UiLanguage::English},
      {2057, UiLanguage::English},           {3076, UiLanguage::English},  // zh-HK
      {4100, UiLanguage::English},           {0x0011, UiLanguage::English},  // neutral Japanese
  };
  for (const Row& row : rows) EXPECT_EQ(row.language, LanguageForId(row.id)) << row.id;
}

TEST(Messages, EachSetCarriesItsOwnTexts) {
  MessageSet japanese = MessageSetFor(UiLanguage::Japanese);
  MessageSet traditional = MessageSetFor(UiLanguage::TraditionalChinese);
  MessageSet simplified = MessageSetFor(UiLanguage::SimplifiedChinese);
  MessageSet english = MessageSetFor(UiLanguage::English);
  EXPECT_EQ(std::wstring(L"管理者権限で実行してください。"), japanese.notAdminText);
  EXPECT_EQ(std::wstring(L"安裝失敗。"), traditional.installFailedText);
  EXPECT_EQ(std::wstring(L"安装失败。"), simplified.installFailedText);
  EXPECT_EQ(std::wstring(L"此作業系統不被支援。\r\n安裝中止。"), traditional.unsupportedOsText);
  EXPECT_EQ(std::wstring(L"This operating system is not supported.\r\nInstallation canceled."),
            english.unsupportedOsText);
  EXPECT_EQ(std::wstring(L"Orvik Portivo with different operation mode is installed.\r\n"
                         L"First, uninstall the Orvik Portivo with a different operation mode."),
            english.modeConflictText);
}

TEST(Messages, MessageForCodeCoversTheBoxCodesOnly) {
  MessageSet english = MessageSetFor(UiLanguage::English);
  struct Row { int code; const wchar_t* text; } rows[] = {
      {101, L"This installer is already running."},
      {102, L"This operating system is not supported.\r\nInstallation canceled."},
      {104, L"Please log on administrator account."},
      {1001, L"Installation failed."},
      {0, L""}, {106, L""}, {107, L""}, {1168, L""},
  };
  for (const Row& row : rows) EXPECT_EQ(std::wstring(row.text), MessageForCode(english, row.code)) << row.code;
  EXPECT_EQ(std::wstring(english.modeConflictText), MessageForCode(english, 103));
}

// Runs once per test language (see tests/CMakeLists.txt): the process's own user language decides.
TEST(MessagesLanguage, SelectMessageSetFollowsTheUserLanguage) {
  const LANGID id = GetUserDefaultLangID();
  const wchar_t* expected = id == 1041 ? L"インストールに失敗しました。"
                            : id == 1028 ? L"安裝失敗。"
                            : id == 2052 ? L"安装失败。"
                                         : L"Installation failed.";
  EXPECT_EQ(std::wstring(expected), SelectMessageSet().installFailedText) << "language " << id;
}
