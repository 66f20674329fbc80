#include "common/switches.h"

#include <wchar.h>

bool HasSwitch(const wchar_t* commandLine, const wchar_t* text) {
  return commandLine != nullptr && wcsstr(commandLine, text) != nullptr;
}
