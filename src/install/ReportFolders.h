// Where the installation debugger and "kavelo simulate" say files go: the
// folders and paths an installation of the setup would use on this machine,
// per user or as root, worked out by the installer's own mapping.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/LinuxFolders.h"
#include "install/ScriptRefusals.h"
#include "script/InstallSimulator.h"

enum class InstallAs { User, Root };

// The folders an installation of a setup whose installation subfolder is
// installSubfolder would use, run as as by the user running this program,
// and why they are stand-ins when the installer would refuse them: a
// subfolder it cannot use (then the folders below the one the subfolder
// would be in), a data or config home it does not write to (then the
// default ones below $HOME). Never throws.
struct ReportMapping {
    LinuxFolders Folders;
    std::string Problem;
};
ReportMapping LinuxReportMapping(const std::string& installSubfolder, InstallAs as);

// The report's paths for that mapping: the script's view of its folders and
// the problem, targets shown as the installer takes them.
ReportPaths LinuxReportPaths(const std::string& installSubfolder, InstallAs as);

// What an installation of the setup refuses for selection, per user and as
// root, in the installer's words ("kavelo check" fails on each): a problem
// of a mapping (but not of the one the report shows, whose paths already
// warn of it), then every refused line. A text both mappings give is told
// once; the others begin with "per user: " or "as root: ".
std::vector<std::string> RefusalsPerMapping(std::string_view script, const std::string& selection,
                                            const std::string& installSubfolder,
                                            const SetupContents& setup,
                                            std::optional<InstallAs> reported);
