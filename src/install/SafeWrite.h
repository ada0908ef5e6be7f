// Writing files below a folder without ever leaving it: names that climb out
// are refused, symbolic links on the way are never followed, and a file is
// written under a temporary name and renamed into place, so a file (or a hard
// link) already there is replaced, never written through. Shared by the setup
// runtime's and the CLI's extraction and by the installer.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The place of an entry below a folder: backslashes become folders, empty and
// "." parts are dropped, a leading drive or separator is ignored. nullopt for
// a name that would leave the folder (a ".." part) or names nothing.
std::optional<std::filesystem::path> SafeRelativePath(const std::string& name);

// The mode a file is given: 0755 for an ELF program or a "#!" script, 0644
// otherwise, with the process's umask applied.
mode_t FileModeFor(std::string_view contents);

// Writes contents to dir / relative with mode, creating dir and the folders
// between (0777 less the umask). Refuses (false, with why) when a folder on
// the way is a symbolic link or not a folder. replaced, when given, tells
// whether a file of that name was there before.
bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode, std::string& why,
                bool* replaced = nullptr);

// WriteBelow with the mode FileModeFor gives the contents.
bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents, std::string& why, bool* replaced = nullptr);
