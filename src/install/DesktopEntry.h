// The freedesktop launchers (.desktop files) that a script's shortcuts become:
// their file names, their text, and the Exec line quoted as the desktop entry
// format requires.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The words of a shortcut's command-line options: split at blanks, a part in
// double quotes kept together (without its quotes).
std::vector<std::string> SplitOptions(const std::string& options);

// The Exec value for program with arguments: each word in double quotes when
// it holds a reserved character, with ", `, $ and \ escaped inside, "%"
// doubled, and then the string escapes of the format applied.
std::string DesktopExec(const std::string& program, const std::vector<std::string>& arguments);

// A value of type string or localestring: \ as \\, line breaks, tabs and
// carriage returns as \n, \t and \r.
std::string DesktopString(const std::string& value);

// A file or folder name made from a text: letters, digits, "_", "-" and "."
// kept (a leading "." becomes "-"), any other run of bytes one "-"; at most 100
// bytes; "launcher" when nothing is left.
std::string LauncherName(const std::string& text);

// The start-menu subfolder ("\" separated) as a relative Linux folder made of
// LauncherName parts; empty when it names none.
std::string MenuSubfolder(const std::string& startMenuFolder);

struct Launcher {
    std::string Name;    // the shortcut's text, as the setup holds it
    std::string Program; // absolute path of the target
    std::vector<std::string> Arguments;
    std::string Icon = "application-x-executable"; // an icon theme name
    bool Terminal = false;                         // runs in a terminal
    std::string Categories = "Utility;";
};

// The Categories value of a launcher from a shortcut text's categories
// ("Development;Graphics", the final ";" optional): "Utility;" when there are
// none. Throws InvalidRequest for a name that is not a registered category
// (names of one's own begin with "X-"), and for Audio or Video without
// AudioVideo, which the desktop entry format requires beside them.
std::string LauncherCategories(const std::string& categories);

// The icon theme folder (below the data folder) and the file name an icon
// for a launcher named name gets: "hicolor/scalable/apps/NAME.svg" for an
// SVG; for a square PNG of 16 to 1024 pixels "hicolor/SxS/apps/NAME.png",
// S being the largest size the hicolor theme has a folder for that is not
// above the icon's; empty for anything else.
std::string IconThemePath(const std::string& name, std::string_view iconFile,
                          std::string_view contents);

// The launcher's file text, UTF-8.
std::string DesktopEntryText(const Launcher& launcher);
