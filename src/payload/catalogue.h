// Which embedded resource becomes which file in which folder. The rows live in catalogue_rows.h.
#pragma once
#include <cstddef>
#include <windows.h>

struct PayloadFolder {
  int index;             // F<index>; 1 is the WorkFolder itself
  int parent;            // 0 for the WorkFolder
  const wchar_t* name;
};

struct PayloadEntry {
  WORD resourceId;       // RT_RCDATA id of the file's bytes
  unsigned nameId;       // string-table id of the file name
  int folder;            // index into PayloadFolders (1-based, as F<n>)
};

struct PayloadName {
  unsigned id;
  const wchar_t* text;
};

struct PayloadSet {
  const PayloadEntry* rows;
  std::size_t count;
  int folderCount;       // folders F1..F<folderCount> are made before the rows are written
};

constexpr std::size_t kFolderCount = 21;
constexpr std::size_t kInstallCount = 77;
constexpr std::size_t kRemovalCount = 3;
constexpr std::size_t kNameCount = 52;

extern const PayloadFolder PayloadFolders[kFolderCount];
extern const PayloadEntry InstallSet[kInstallCount];
extern const PayloadEntry RemovalSet[kRemovalCount];
extern const PayloadName PayloadNames[kNameCount];

extern const PayloadSet kInstallPayload;
extern const PayloadSet kRemovalPayload;

// String-table ids the run refers to by name.
constexpr unsigned kSetupNameId = 114;
constexpr unsigned kWorkFolderNameId = 123;
constexpr unsigned kEmulatorSetup32NameId = 155;
constexpr unsigned kEmulatorSetup64NameId = 156;
constexpr unsigned kCleanupLibraryNameId = 157;
