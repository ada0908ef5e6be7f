// What an installation refuses that the script alone decides: a target
// outside the folders the mapping lets it write to, a name it keeps for its
// own files, a command line whose fields cannot work. The installer's first
// pass and "kavelo check" ask these same functions, so that check passes no
// line the installer refuses, in the installer's words.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Errors.h"
#include "install/LinuxFolders.h"
#include "package/TreeArchive.h"
#include "script/InstallScript.h"
#include "script/ScriptCheck.h"

// What a target is written as: a file, a launcher (the desktop folder takes
// launchers too) or one of the installation's own files.
enum class TargetUse { Write, Launcher, Own };

// Why an installation with folders does not write path (absolute,
// normalized), or nullopt when it may.
std::optional<Refused> RefusedTarget(const LinuxFolders& folders, const std::string& path,
                                     TargetUse use);

// The first bytes of a picture, which tell whether a launcher can show it.
inline constexpr size_t kIconHeadSize = 64;

// What the checks ask of the setup, by lower-case name: whether it carries
// a file, the first kIconHeadSize bytes of one (an icon; fewer when it is
// shorter), what a tree it carries holds (its entries' kinds and names, its
// links' targets), and the first kIconHeadSize bytes of a file entry of one
// of TreeOf's trees. Head, TreeOf and TreeHead are asked only for a name Has
// found, and may throw DamagedInput.
struct SetupContents {
    std::function<bool(const std::string&)> Has;
    std::function<const Tree&(const std::string&)> TreeOf;
    std::function<std::string(const std::string&, const TreeEntry&)> TreeHead;
    std::function<std::string(const std::string&)> Head;
};

// The checks of one command line that need not the machine: base folder 99
// with an empty third field, a Copy of a file or tree the setup does not
// carry or of a path inside a tree, launcher
// categories, an icon file the setup does not carry, that is no PNG or SVG
// or no picture a launcher can show, and a launcher or icon naming a file
// inside a tree that the tree does not hold. Throws InvalidRequest.
void CheckCommandLine(const InstallCommand& command, const SetupContents& setup);

// Why an installation with folders does not copy tree into folder: the
// folder itself, or the first of the tree's entries in its order, refused as
// RefusedTarget refuses a file written there; nullopt when none is.
std::optional<Refused> RefusedTreeCopy(const LinuxFolders& folders, const std::string& folder,
                                       const Tree& tree);

// The target of a command as the installer takes it: its Linux path, or
// nullopt for a Del of launchers only (target "\"). Throws InvalidRequest as
// LinuxPath does.
std::optional<std::string> CommandTarget(const InstallCommand& command);

// Every command line that selection reaches and that an installation into
// folders refuses, each told as the installer tells it ("line: path:
// reason").
std::vector<ScriptProblem> RefusedScriptLines(std::string_view script, const std::string& selection,
                                              const LinuxFolders& folders,
                                              const SetupContents& setup);
