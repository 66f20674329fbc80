// The one switch test: a case-sensitive substring test of the whole command line. Deployment
// scripts rely on exactly that, including its looseness.
#pragma once

// False for a null command line.
bool HasSwitch(const wchar_t* commandLine, const wchar_t* text);
