#include "child/command_lines.h"

#include "common/bounded_text.h"
#include "common/language.h"

const wchar_t kRemovalArguments[] = L"/9";

const wchar_t* LanguageSwitch(LANGID languageId) {
  switch (LanguageForId(languageId)) {
    case UiLanguage::Japanese: return L"-l0x0411";
    case UiLanguage::TraditionalChinese: return L"-l0x0404";
    case UiLanguage::SimplifiedChinese: return L"-l0x0804";
    case UiLanguage::English: break;
  }
  return L"-l0x0409";
}

bool AppendSilentSwitches(wchar_t* setupSwitches, std::size_t capacity, LANGID languageId) {
  return BoundedAppend(setupSwitches, capacity, L" /hide_progress ") &&
         BoundedAppend(setupSwitches, capacity, LanguageSwitch(languageId));
}

bool BuildResultWindowArg(HWND resultWindow, wchar_t* text, std::size_t capacity) {
  // _itow_s of the handle and of the message number, each into 260 units.
  wchar_t handle[MAX_PATH];
  wchar_t message[MAX_PATH];
  // Handles print as signed numbers, the way the setup has always parsed them.
  FormatDecimal(static_cast<long>(reinterpret_cast<LONG_PTR>(resultWindow)), handle, MAX_PATH);
  FormatDecimal(WM_USER, message, MAX_PATH);
  return BoundedCopy(text, capacity, L"/W32:") && BoundedAppend(text, capacity, handle) &&
         BoundedAppend(text, capacity, L":") && BoundedAppend(text, capacity, message);
}

bool ComposeSetupArguments(wchar_t* arguments, std::size_t capacity, const wchar_t* setupSwitches,
                           const wchar_t* resultWindowArg, const wchar_t* commandLine) {
  if (!BoundedCopy(arguments, capacity, setupSwitches) ||
      !BoundedAppend(arguments, capacity, L" \"") ||
      !BoundedAppend(arguments, capacity, resultWindowArg)) {
    return false;
  }
  if (commandLine != nullptr && BoundedLength(commandLine, 1024) != 0 &&
      (!BoundedAppend(arguments, capacity, L" ") ||
       !BoundedAppend(arguments, capacity, commandLine))) {
    return false;
  }
  return BoundedAppend(arguments, capacity, L"\"");
}
