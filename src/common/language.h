// The user's language decides the message texts and the setup's language switch.
#pragma once
#include <windows.h>

enum class UiLanguage { English, Japanese, TraditionalChinese, SimplifiedChinese };

// The whole id counts: other Chinese or Japanese sub-languages fall back to English.
UiLanguage LanguageForId(LANGID id);

// GetUserDefaultLangID, read afresh on every call.
LANGID UserLanguageId();
