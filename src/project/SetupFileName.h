// The names of setup files: a setup named without an extension gets ".run"
// (desktops start a ".run" file with the executable bit as a program), and a
// name that ends in ".exe" or ".run", in any letter case, keeps its name.
#pragma once

#include <string>

// True when path ends in ".exe" or ".run", compared in lower case.
bool HasSetupExtension(const std::string& path);

// path as it is when HasSetupExtension, else path with ".run" appended.
std::string WithSetupExtension(const std::string& path);

// The setup to open for a chosen name: the name itself when it has a setup
// extension; otherwise the first of NAME.run, NAME.exe and NAME that is a
// file; NAME.run when none is.
std::string SetupToOpen(const std::string& chosen);
