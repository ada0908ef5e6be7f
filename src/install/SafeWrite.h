// Writing a package's files below a folder without ever leaving it: names
// that climb out are refused, symbolic links on the way are not followed.
// Shared by the setup runtime's and the CLI's extraction.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The place of an entry below a folder: backslashes become folders, empty and
// "." parts are dropped, a leading drive or separator is ignored. nullopt for
// a name that would leave the folder (a ".." part) or names nothing.
std::optional<std::filesystem::path> SafeRelativePath(const std::string& name);

// Writes contents to dir / relative, creating the folders between. Refuses
// (false, with why) to write through a symbolic link or outside dir.
bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                const std::string& contents, std::string& why);
