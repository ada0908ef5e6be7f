// The installation debugger: walks the [Install] section of a script for a
// selection of the component panel and reports, line by line, what an
// installation would check, delete, copy and link. Nothing is installed.
#pragma once

#include <functional>
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

// The lines the simulation prints for a selection text (character i holds the
// value of element i + 1), warnings ("### Warning: ...") among them.
std::vector<std::string> SimulateInstall(const InstallSource& source, const std::string& selection);
