// Names files beside the program: the runtime data file is the program's own
// path with "dat" in place of its extension, in the letter case of that path.
#pragma once

#include <string>

// For the program at programPath: suffix "\0" gives the program's full path,
// "\1" its folder (with the trailing "/"); any other suffix gives folder +
// stem + suffix, where the stem is the file name up to and including its
// last "." ("kavelo" -> "kavelo.").
std::string AppFileNameFor(const std::string& programPath, const std::string& suffix);
