// The argument texts of the programs the installer starts.
#pragma once
#include <string>
#include <windows.h>

// "-l0x0411", "-l0x0404", "-l0x0804", or "-l0x0409" for every other language id.
const wchar_t* LanguageSwitch(LANGID languageId);

// Adds " /hide_progress <language switch>" for the quiet modes.
void AppendSilentSwitches(std::wstring& setupSwitches, LANGID languageId);

// "/W32:<window handle in signed decimal>:1024": where the setup posts its outcome.
std::wstring BuildResultWindowArg(HWND resultWindow);

// setupSwitches, a blank, then one quoted argument: the result window and, when there is one, a
// blank and the installer's own command line exactly as received.
std::wstring ComposeSetupArguments(const std::wstring& setupSwitches,
                                   const std::wstring& resultWindowArg, const wchar_t* commandLine);

// The emulator setup of the removal run gets this and nothing else: no result window.
extern const wchar_t kRemovalArguments[];
