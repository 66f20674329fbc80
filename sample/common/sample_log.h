// The sample programs' shared log, %TEMP%\PortivoSample.log in UTF-8, so that a demo can show
// what each program of the package received and did. Every line is appended at once and the file
// is closed again, so lines of the setup, the clean-up library and the emulator setup interleave
// in the order they happened and no handle is left open when the installer tidies up.
#pragma once
#include <string>

// Appends "<local time> [<program> <pid>] <text>" to the log. Failures are ignored: the log is
// there to watch, never a reason for a sample program to fail.
void SampleLog(const wchar_t* program, const std::wstring& text);

// Logs each line of an 8-bit text (in the ANSI code page) under a heading, indented.
void SampleLogText(const wchar_t* program, const std::wstring& heading, const std::string& text);

std::string ToUtf8(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
std::wstring DecimalText(long long value);
