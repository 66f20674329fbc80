#include "common/language.h"

UiLanguage LanguageForId(LANGID id) {
  switch (id) {
    case 0x0411: return UiLanguage::Japanese;
    case 0x0404: return UiLanguage::TraditionalChinese;
    case 0x0804: return UiLanguage::SimplifiedChinese;
    default: return UiLanguage::English;
  }
}

LANGID UserLanguageId() { return GetUserDefaultLangID(); }
