// The installer under test: the probe installer, at its place below the build folder.
#pragma once
#include "test_files.h"

#define PORTIVO_PROBE_INSTALLER ::testfiles::Path(L"probe\\PortivoInstaller.exe")
