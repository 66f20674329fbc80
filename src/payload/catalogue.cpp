#include "payload/catalogue.h"

const PayloadFolder PayloadFolders[kFolderCount] = {
#define PORTIVO_FOLDER(index, parent, name) {index, parent, L"" name},
#include "payload/catalogue_rows.h"
};

const PayloadEntry InstallSet[kInstallCount] = {
#define PORTIVO_INSTALL(resource, name, folder) {resource, name, folder},
#include "payload/catalogue_rows.h"
};

const PayloadEntry RemovalSet[kRemovalCount] = {
#define PORTIVO_REMOVAL(resource, name, folder) {resource, name, folder},
#include "payload/catalogue_rows.h"
};

const PayloadName PayloadNames[kNameCount] = {
#define PORTIVO_NAME(id, text) {id, L"" text},
#include "payload/catalogue_rows.h"
};

// A removal run makes the WorkFolder only.
const PayloadSet kInstallPayload = {InstallSet, kInstallCount, static_cast<int>(kFolderCount)};
const PayloadSet kRemovalPayload = {RemovalSet, kRemovalCount, 1};
