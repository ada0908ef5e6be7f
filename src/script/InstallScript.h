// Reading the [Install] section of a script: sections, guards with their
// element references, command lines with their eight fields, and how a
// command's target folder is put together. The install simulator and the
// installer engine read a script with these same functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr int kInstallFieldCount = 8; // fields of a command line
inline constexpr int kMaxShortcutString = 1023;

enum InstallKind : int {
    InstallNone = 0,
    InstallDel = 1,
    InstallCopy = 2,
    InstallCheck = 3,
    InstallLink = 4,
};

// Base folder numbers of a command's second field; any other number is the
// installation folder.
inline constexpr int kFolderSystem = 2;
inline constexpr int kFolderWindows = 3;
inline constexpr int kFolderAsWritten = 99;

// The folders a command's base folder number stands for, each ending in "\".
// Drives: a subfolder that begins with "\" keeps the folder's drive (its
// first two characters); without drives, as on Linux, it starts at the root.
struct BaseFolders {
    std::string Install;
    std::string System;
    std::string Windows;
    bool Drives = true;
};

struct InstallCommand {
    InstallKind Kind = InstallNone;
    std::string FileName;     // internal file name, as written
    int Base = 0;             // the base folder number
    std::string SubFolder;    // the third field, as written
    std::string TargetPath;   // folder and file name on the target
    std::string ShortcutText; // flag letters, a blank, a text number, categories
    double Number = 0;        // sixth field as a number; without effect
    std::string Icon;         // sixth field when it names a file: a launcher's icon
    std::string Version;
    std::string Options; // command-line options for shortcuts
};

// One line of a section: its comment cut, and its place in the whole text
// (0-based, counting lines that CR LF ends).
struct SectionLine {
    int Number = 0;
    std::string Text;
};

// The lines of the section "[name]" of text that are not blank, comments
// cut; empty when there is no such section.
std::vector<SectionLine> ExtractSectionLines(std::string_view text, std::string_view name);

// The same lines, each followed by CR LF.
std::string ExtractSection(std::string_view text, std::string_view name);

// text followed by count commas, cut into its first count comma-separated pieces.
std::vector<std::string> SplitFields(const std::string& text, int count);

// folder joined with a subfolder that may begin with "\" (same drive, or the
// root when drives is false) or with "..\" (one folder up each).
std::string JoinPath(const std::string& folder, const std::string& sub, bool drives = true);

// Kind (InstallNone for a line that is no command) and fields of a line, the
// target worked out with folders.
InstallCommand ParseInstallCommand(const std::string& line, const BaseFolders& folders);

// What a shortcut text asks for: its flag letters (lower case), the number
// of the text that names the shortcut and the launchers' categories.
struct ShortcutRequest {
    std::string Flags;
    int Text = 0;
    std::string Categories; // "Development;Graphics;" as written; empty for the default
    bool Has(char flag) const { return Flags.find(flag) != std::string::npos; }
};

// A shortcut text whose last blank-separated word holds a ";" ends with the
// launchers' categories ("S 4 Development;"): that word, and the text before
// it with its blanks at the end removed. Other texts are kept whole, with no
// categories.
std::pair<std::string, std::string> SplitShortcutCategories(const std::string& text);

// The flags before the first blank and the text number after it (the
// categories cut off first); nullopt for a text without a blank or whose
// number is outside 1 ... 1023.
std::optional<ShortcutRequest> ReadShortcutText(const std::string& text);

// The sixth field as a launcher's icon: a file of the setup or a file inside
// a tree ("app.tree/share/app.svg"); empty when the field is empty or a
// number (its old meaning, without effect).
std::string IconField(const std::string& field);

// Replaces each "val(N)" of a lower-cased guard by the value of element N
// (character N - 1 of selection). A reference without ")" after it, with "{"
// inside, or with N outside 1 ... 64 stays as it is (the guard is then false).
void ReplaceElementReferences(std::string& guard, std::string_view selection);

// A command line of the [Install] section that a selection reaches.
struct SelectedCommand {
    std::string Line; // comment cut, blanks trimmed
    InstallCommand Command;
    int ScriptLine = -1; // its line in the script text, 0-based
};

// The command lines of script's [Install] section that run for selection
// (character i holds the value of element i + 1; missing ones are 0), in
// order: a guard line "{...}" decides for the lines up to the next guard;
// blank lines and lines that are no command are left out.
std::vector<SelectedCommand> SelectInstallCommands(std::string_view script,
                                                   const std::string& selection,
                                                   const BaseFolders& folders);
