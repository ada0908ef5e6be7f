// The files built into the program: the new-project template and the setup
// runtime.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The bytes of the built-in file name of the given type, the name compared
// without regard to ASCII letter case. Only the type "FILE" exists. Empty
// when there is no such file (the runtime "KAVELO.EXE" is empty in builds
// that do not carry it).
std::string LoadResFile(std::string_view name, std::string_view type = "FILE");

// Names of the built-in files, as stored (upper case).
std::vector<std::string> ResFileNames();
