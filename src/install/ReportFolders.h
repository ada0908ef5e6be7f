// Where the installation debugger and "kavelo simulate" say files go: the
// folders and paths an installation of the setup would use on this machine,
// per user or as root, worked out by the installer's own mapping.
#pragma once

#include <string>

#include "script/InstallSimulator.h"

enum class InstallAs { User, Root };

// The report's paths for a setup whose installation subfolder is
// installSubfolder, installed as as by the user running this program. When
// that subfolder cannot be used, the report says why and shows the paths
// below the folder the subfolder would be in.
ReportPaths LinuxReportPaths(const std::string& installSubfolder, InstallAs as);
