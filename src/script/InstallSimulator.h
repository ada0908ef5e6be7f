// The installation debugger: walks the [Install] section of the project's
// script for a selection of the component panel and prints through DebugPrint
// what an installation would check, delete, copy and link. Nothing is
// installed.
#pragma once

#include <array>
#include <string>
#include <vector>

inline constexpr int kMaxCommandLines = 1025; // command lines kept for the second pass
inline constexpr int kStringsListSize = 1024; // numbered texts for shortcut names
inline constexpr int kInstallFieldCount = 8;  // fields of a command line
inline constexpr int kMaxShortcutString = 1023;

enum InstallKind : int {
    InstallNone = 0,
    InstallDel = 1,
    InstallCopy = 2,
    InstallCheck = 3,
    InstallLink = 4,
};

struct InstallCommand {
    InstallKind Kind = InstallNone;
    std::string FileName;     // internal file name, as written
    std::string TargetPath;   // folder and file name on the target
    std::string ShortcutText; // flag letters, a blank, a text number
    double Number = 0;        // sixth field; read, without effect
    std::string Version;
    std::string Options; // command-line options for shortcuts
};

enum class SystemFolderKind { Windows, System };

// Runs the simulation for a selection text (character i holds the value of
// element i); prints through DebugPrint.
void SimulateInstall(const std::string& selection);

// The lines of the section "[name]" of text, comments cut, each followed by
// CR LF; empty when there is no such section.
std::string ExtractSection(const std::string& text, const std::string& name);

// Kind (InstallNone for a line that is no command) and fields of a line.
InstallCommand ParseInstallCommand(const std::string& line);

// text followed by count commas, cut into its first count comma-separated pieces.
std::vector<std::string> SplitFields(const std::string& text, int count);

// folder joined with a subfolder that may begin with "\" (same drive) or with
// "..\" (one folder up each).
std::string JoinPath(const std::string& folder, const std::string& sub);

// The second pass: what the kept command lines of the last run do.
void PrintCommandActions();

// Shortcut lines for a shortcut text such as "adqs 4".
void PrintShortcuts(const std::string& text, const std::string& target, const std::string& options);

// The Windows or system folder, ending in "\". There are no such folders
// here, so fixed example paths stand for them.
std::string SystemFolder(SystemFolderKind which);
