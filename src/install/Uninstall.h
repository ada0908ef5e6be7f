// Uninstalling: removes what the manifest in an installation folder lists,
// except files changed since they were installed, files outside the folders
// of the mapping, and folders that hold other files, which stay and are
// listed. Resumable: the manifest and the uninstall program go after
// everything else, and only the installation folder's own chain after them.
#pragma once

#include <string>
#include <vector>

#include "install/Journal.h"

struct UninstallResult {
    std::string Caption;                  // the setup's caption, from the manifest
    Recovery Recovered;                   // an interrupted installation undone first
    std::vector<std::string> Removed;     // files and launchers removed
    std::vector<std::string> Changed;     // kept: changed since they were installed
    std::vector<std::string> Outside;     // kept: outside the folders of the mapping
    std::vector<std::string> KeptFolders; // kept: not empty
    std::vector<std::string> Problems;    // could not be removed; nothing else is lost
};

// Uninstalls the installation in folder. dryRun reports what would go and
// changes nothing (no undo of an interrupted installation either). What
// cannot be removed is reported in the result. Throws when the folder holds
// no installation, is in use, or its manifest cannot be trusted.
// mapped are the folders the mapping gives now, rules those to walk them by.
UninstallResult Uninstall(const std::string& folder, bool dryRun, const LinuxFolders& mapped,
                          const FolderRules& rules);
