// The argument texts of the programs the installer starts.
#pragma once
#include <cstddef>
#include <windows.h>

// "/W32:" + a signed 32-bit handle + ":1024" needs 22 units with its terminator.
constexpr std::size_t kResultWindowArgCapacity = 32;

// "-l0x0411", "-l0x0404", "-l0x0804", or "-l0x0409" for every other language id.
const wchar_t* LanguageSwitch(LANGID languageId);

// Adds " /hide_progress <language switch>" for the quiet modes. False (switches emptied) when
// it does not fit.
bool AppendSilentSwitches(wchar_t* setupSwitches, std::size_t capacity, LANGID languageId);

// "/W32:<window handle in signed decimal>:1024": where the setup posts its outcome.
bool BuildResultWindowArg(HWND resultWindow, wchar_t* text, std::size_t capacity);

// setupSwitches, a blank, then one quoted argument: the result window and, when there is one, a
// blank and the installer's own command line exactly as received. False (arguments emptied) when
// it does not fit; with the capacity of the child's command line nothing that fails here could
// have been started.
bool ComposeSetupArguments(wchar_t* arguments, std::size_t capacity, const wchar_t* setupSwitches,
                           const wchar_t* resultWindowArg, const wchar_t* commandLine);

// The emulator setup of the removal run gets this and nothing else: no result window.
extern const wchar_t kRemovalArguments[];
