// The setup paths the startup dialog and the command line work with: the
// ".exe" rule for a chosen name, and a path made absolute for the recent list
// and the lock.
#pragma once

#include <string>

// path with ".exe" appended unless its last four characters, in lower case,
// are ".exe" ("demo" -> "demo.exe", "DEMO.EXE" stays).
std::string WithExeExtension(const std::string& path);

// The setup to open for a chosen path: WithExeExtension, except that a
// chosen file that exists is opened as it is when the name with ".exe" does
// not exist (a setup named without the extension can be opened).
std::string SetupToOpen(const std::string& chosen);

// path made absolute against the current folder, without its "." parts; links
// and ".." are left as they are.
std::string AbsoluteSetupPath(const std::string& path);
