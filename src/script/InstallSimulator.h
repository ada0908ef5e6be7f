// The installation debugger: walks the [Install] section of a script for a
// selection of the component panel and reports, line by line, what an
// installation would check, delete, copy and link. Nothing is installed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/InstallScript.h"

inline constexpr int kMaxCommandLines = 1025; // command lines kept for the second pass
inline constexpr int kStringsListSize = 1024; // numbered texts for shortcut names

// What the simulation reads of a project.
struct InstallSource {
    std::string_view ScriptText;
    std::string_view StringsText;
    // True when the project holds a file of this (lower-case) name.
    std::function<bool(const std::string&)> HasFile;
};

// The folders the simulation shows: there is no installation folder yet and
// no such system folders here, so fixed example paths stand for them.
const BaseFolders& SimulatedFolders();

// Where the report says files go: the folders the base folder numbers stand
// for, and how a target worked out on them is shown.
struct ReportPaths {
    BaseFolders Folders;
    // The target as an installation would use it, or nullopt with why when it
    // could not; null shows targets as worked out.
    std::function<std::optional<std::string>(const std::string& target, std::string& why)> Show;
    // Why the folders are stand-ins (the setup names no usable installation
    // folder); printed as a warning before the report when not empty.
    std::string Problem;
};

// The fixed example paths of SimulatedFolders, targets shown as worked out.
const ReportPaths& ExamplePaths();

// One printed line and the line of the script it speaks of (0-based, in the
// whole script text); -1 for a line about no script line.
struct ReportLine {
    std::string Text;
    int ScriptLine = -1;
};

// The lines the simulation prints for a selection text (character i holds the
// value of element i + 1), warnings ("### Warning: ...") among them.
std::vector<ReportLine> SimulateInstallLines(const InstallSource& source,
                                             const std::string& selection,
                                             const ReportPaths& paths = ExamplePaths());
std::vector<std::string> SimulateInstall(const InstallSource& source, const std::string& selection,
                                         const ReportPaths& paths = ExamplePaths());
