// The setup paths the startup dialog and the command line work with: a path
// made absolute for the recent list and the lock. (The extension rule of a
// chosen name is the core's, in project/SetupFileName.h.)
#pragma once

#include <string>

// path made absolute against the current folder, without its "." parts; links
// and ".." are left as they are.
std::string AbsoluteSetupPath(const std::string& path);
