// The first pass of an installation: the [Install] section read for a
// selection exactly as the simulator reads it, every target worked out on
// this machine, and everything checked before anything is written: the
// Check lines against the versions an earlier installation recorded, the
// files the copies take from the setup, the targets (inside the folders the
// mapping allows, no link on the way) and the space the copies need.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/LinuxFolders.h"
#include "install/Manifest.h"
#include "install/Places.h"
#include "install/SetupPackage.h"
#include "package/TreeArchive.h"

enum class StepKind {
    Note,       // says something, does nothing
    Delete,     // a file is set aside, and removed when the installation completes
    Copy,       // a file of the setup is written
    Launcher,   // a .desktop file is written
    KeepRecord, // a file skipped for its recorded version stays part of the installation
    TreeFile,   // a file of a tree is written
    Symlink,    // a symbolic link is made: a tree's, or a command's
    TreeFolder, // a folder of a tree is made (when missing)
};

// Whether a step puts a file (or a tree's link) in place.
inline bool WritesFile(StepKind kind) {
    return kind == StepKind::Copy || kind == StepKind::TreeFile || kind == StepKind::Symlink;
}

struct PlanStep {
    StepKind Kind = StepKind::Note;
    std::string Text;                       // the line the report shows
    bool Warning = false;                   // a note that is a warning
    Place Where;                            // the file concerned (not for notes)
    std::string Path;                       // its absolute path
    const DirectoryEntry* Source = nullptr; // Copy, TreeFile: the setup's entry
    uint64_t Size = 0;                      // Copy, Launcher
    std::string Version;                    // Copy
    std::string Contents;                   // Launcher; Symlink: its target
    mode_t Mode = 0;                        // Launcher
    ManifestFile Recorded;                  // KeepRecord
    const TreeEntry* Entry = nullptr;       // TreeFile: in one of the plan's Trees (no contents)
};

struct InstallPlan {
    LinuxFolders Folders;
    // The folders the installation starts from: for each folder of the
    // mapping, the deepest part of it that exists already.
    RootTable Roots;
    std::vector<PlanStep> Steps;
    std::optional<Manifest> Previous; // the manifest an earlier installation left
    uint64_t Bytes = 0;               // what the copies write
    std::string LaunchProgram; // the first "s" shortcut's target that this installation writes
    std::vector<std::string> LaunchArguments;
    // The trees the copies unpack: names, link targets and icons, no other
    // contents (installing decodes them again as it writes them).
    std::vector<std::shared_ptr<const Tree>> Trees;
};

struct PlanRequest {
    const SetupPackage* Setup = nullptr;
    std::string Selection; // the panel's values, as GetScriptValues gives them
    LinuxFolders Folders;
    bool Root = false;
    FolderRules Rules; // as root: strict, and exact modes
};

// The plan. Throws when the installation cannot go ahead, naming the path
// and, as the error's context, the script line.
InstallPlan PlanInstallation(const PlanRequest& request);

// The manifest an earlier installation left in folder; nullopt when there
// is none. Throws when it cannot be trusted or read.
std::optional<Manifest> ReadPreviousManifest(const std::string& folder,
                                             const FolderRules& rules = {});
