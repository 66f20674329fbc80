// Variant installers for tests: a copy of the installer in which one payload resource (RT_RCDATA,
// language 1033) is replaced or removed, e.g. an installer without its setup program, or with a
// clean-up library that lacks its export.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace runner {

// Copies source to target (replacing target) and, in the copy, sets RT_RCDATA resource `id`
// (language 1033) to *bytes, or removes it when bytes is null. The copy is read back afterwards:
// kRunnerResourceCheckFailed when it does not hold exactly what was asked for.
int CopyWithRcdata(const std::wstring& source, const std::wstring& target, WORD id,
                   const std::vector<unsigned char>* bytes);

// The bytes of RT_RCDATA resource `id` (language 1033) of a program or library file, without
// running it. kRunnerResourceMissing when it has none.
int ReadRcdata(const std::wstring& module_path, WORD id, std::vector<unsigned char>* bytes);

int ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes);

}  // namespace runner
