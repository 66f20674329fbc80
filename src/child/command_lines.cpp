#include "child/command_lines.h"

#include "common/bounded_text.h"
#include "run/language.h"

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

void AppendSilentSwitches(std::wstring& setupSwitches, LANGID languageId) {
  setupSwitches += L" /hide_progress ";
  setupSwitches += LanguageSwitch(languageId);
}

std::wstring BuildResultWindowArg(HWND resultWindow) {
  wchar_t handle[260];
  wchar_t message[260];
  // Handles print as signed numbers, the way the setup has always parsed them.
  FormatDecimal(static_cast<long>(reinterpret_cast<LONG_PTR>(resultWindow)), handle, 260);
  FormatDecimal(WM_USER, message, 260);
  return std::wstring(L"/W32:") + handle + L":" + message;
}

std::wstring ComposeSetupArguments(const std::wstring& setupSwitches,
                                   const std::wstring& resultWindowArg, const wchar_t* commandLine) {
  std::wstring arguments = setupSwitches + L" \"" + resultWindowArg;
  if (commandLine != nullptr && BoundedLength(commandLine, 1024) != 0) {
    arguments += L" ";
    arguments += commandLine;
  }
  arguments += L"\"";
  return arguments;
}
