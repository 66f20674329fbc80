// The texts of the error boxes, in the user's language, and the box itself.
#pragma once
#include "common/language.h"

struct MessageSet {
  const wchar_t* alreadyRunningText;  // 101
  const wchar_t* unsupportedOsText;   // 102
  const wchar_t* modeConflictText;    // 103
  const wchar_t* notAdminText;        // 104
  const wchar_t* installFailedText;   // 1001
};

extern const wchar_t kBoxCaption[];

MessageSet MessageSetFor(UiLanguage language);

// The set for the user's default language.
MessageSet SelectMessageSet();

// The text shown for a result code; empty for codes that never show a box.
const wchar_t* MessageForCode(const MessageSet& messages, int code);

// One modal stop-icon box with an OK button; returns when the user closes it. On a window station
// nobody sees it returns at once and shows nothing: the log says which box was not shown.
void ShowRunError(const MessageSet& messages, int code);
