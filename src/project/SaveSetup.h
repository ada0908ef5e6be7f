// Saving the project as a setup executable: the runtime followed by a package
// of the four setup files and the user's files.
#pragma once

#include <optional>
#include <string>

// The package's names of the four setup files, in the order they are written.
inline constexpr const char* kSetupPictureName = "setup\\picture.bmp";
inline constexpr const char* kSetupScriptName = "setup\\script.txt";
inline constexpr const char* kSetupLinesName = "setup\\setup.txt";
inline constexpr const char* kSetupStringsName = "setup\\strings.txt";

// The seven setup lines joined with CR LF, no line break after the last.
std::string JoinedSetupLines();

// The runtime bytes: the data file beside the program, or the built-in copy
// when that is missing, unreadable or empty. Empty when neither exists;
// dataFilePath gets the data file's path either way.
std::string LoadRuntime(std::string& dataFilePath);

// Tests replace the built-in runtime (nullopt restores it; an empty string
// means there is none).
void SetBuiltInRuntimeForTesting(std::optional<std::string> bytes);
