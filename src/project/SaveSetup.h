// Saving the project as a setup executable: the runtime followed by a package
// of the four setup files and the user's files. The new setup is written
// beside the old one as an unnamed file (or under a temporary name where the
// file system has no unnamed files) and renamed over it only when it is
// complete, so a failed or killed save never loses the previous setup.
#pragma once

#include <optional>
#include <string>

#include "common/Host.h"
#include "project/Project.h"
#include "project/SetupLock.h"

// Where a save finds the setup runtime and how it writes the new file. The
// defaults are the running program's; tests and benchmarks choose others.
struct SaveOptions {
    // The program beside which the data file is looked for; empty: the
    // running program's own path.
    std::string ProgramPath;
    // The runtime used when no data file is found; nullopt: the program's
    // built-in "KAVELO.EXE", an empty string: none.
    std::optional<std::string> BuiltInRuntime;
    // False writes under a temporary name from the start, as on a file
    // system without unnamed files.
    bool UnnamedFiles = true;
};

// Writes project into project.ProjectPath. On failure shows string 31 (or 34
// when there is no runtime) with the reason on a line beneath, and returns
// false. User files are packed into the project as a side effect. With the
// setup's lock: a setup that another program replaced or wrote since the
// lock was taken is replaced only when the host's question is answered yes,
// and the lock moves to the new file.
bool SaveSetup(SetupProject& project, Host& host, SetupLock* lock = nullptr,
               const SaveOptions& options = {});

// The runtime bytes: the data file beside the program (for an installed
// program, of the same name in lib/kavelo/ beside the program's folder), or
// the built-in copy when that is missing, unreadable or empty. Empty when
// none exists. dataFilePath gets the path of the data file read, or of the
// one beside the program when none was, and why the reason it could not be.
std::string LoadRuntime(const SaveOptions& options, std::string& dataFilePath, std::string& why);
