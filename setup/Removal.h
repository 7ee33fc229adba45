// Removal of an installation ("setup /u") and of an installation directory.
#pragma once

#include <string>

#include "common/UserPrompts.h"
#include "setup/Registration.h"
#include "setup/SetupHost.h"
#include "setup/SetupUi.h"

namespace brind::setup {

// Deletes the table's 16 installed names in the directory and removes it when it is then empty.
// Failures are silent; other files are not touched.
void RemoveInstallDirectory(SetupHost& host, const std::string& directory);
// Deletes the given names in the directory (silently).
void RemoveFiles(SetupHost& host, const std::string& directory, const TouchedFiles& names);
// Removes the directory when it is empty.
void RemoveEmptyDirectory(SetupHost& host, const std::string& directory);

// "setup /u": 0 when nothing is installed, 1 otherwise.
int RunUninstall(SetupHost& host, UserPrompts& prompts, SetupUi& ui, RemovalFlags& flags);

}  // namespace brind::setup
