// Saving the project as a setup executable: the runtime followed by a package
// of the four setup files and the user's files. The new setup is written
// beside the old one under a temporary name and renamed over it only when it
// is complete, so a failed save never loses the previous setup.
#pragma once

#include <optional>
#include <string>

#include "common/Host.h"
#include "project/Project.h"

// Writes project into project.ProjectPath. On failure shows string 31 (or 34
// when there is no runtime) with the reason on a line beneath, and returns
// false. User files are packed into the project as a side effect.
bool SaveSetup(SetupProject& project, Host& host);

// The runtime bytes: the data file beside the program, or the built-in copy
// when that is missing, unreadable or empty. Empty when neither exists;
// dataFilePath gets the data file's path and why the reason it could not be
// read.
std::string LoadRuntime(std::string& dataFilePath, std::string& why);

// Tests replace the built-in runtime (nullopt restores it; an empty string
// means there is none).
void SetBuiltInRuntimeForTesting(std::optional<std::string> bytes);
