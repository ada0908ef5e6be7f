// Names files beside the program: the runtime data file is the program's own
// path with "dat" in place of its extension, in the letter case of that path.
#pragma once

#include <string>

// suffix "\0" gives the program's full path, "\1" its folder (with the
// trailing "/"); any other suffix gives folder + stem + suffix, where the stem
// is the file name up to and including its last "." ("kavelo" -> "kavelo.").
std::string AppFileName(const std::string& suffix);

// The same rule for an explicit program path; AppFileName applies it to the
// running program's path, worked out on the first call and kept.
std::string AppFileNameFor(const std::string& programPath, const std::string& suffix);

// Replaces the path AppFileName works from (tests; an empty path goes back to
// the running program's own path).
void SetProgramPathForTesting(const std::string& programPath);
