// Where an installation goes on Linux: the installation folder, the folders
// that the script's base folder numbers stand for, where launchers go, and
// how a target the script worked out on its "\" text becomes a Linux path.
// An installation writes only below these folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "script/InstallScript.h"

// What the mapping depends on, read from the process once.
struct InstallEnvironment {
    bool Root = false;      // running as root (effective user 0)
    std::string Home;       // $HOME, else the password database's
    std::string DataHome;   // $XDG_DATA_HOME when absolute, else Home/.local/share
    std::string ConfigHome; // $XDG_CONFIG_HOME when absolute, else Home/.config
    std::string DesktopDir; // $XDG_DESKTOP_DIR when absolute, else empty
};
InstallEnvironment CurrentEnvironment();

struct LinuxFolders {
    std::string Install;      // the installation folder; base folders 0, 1 and the rest
    std::string Lib;          // base folder 2: /usr/local/lib, or ~/.local/lib
    std::string Share;        // base folder 3: /usr/local/share, or the user's data folder
    std::string Menu;         // "s" launchers: Share/applications
    std::string AllUsersMenu; // "a" launchers, as root only: /usr/share/applications
    std::string Desktop;      // "d" launchers: the desktop folder, empty when there is none
    std::string Commands;     // "c" command links: /usr/local/bin, or ~/.local/bin
};

// path made absolute (against the working folder) with "." and ".." parts
// resolved on the text and no "/" at the end. Throws InvalidRequest for an
// empty path or one holding a backslash (the script's separator) or a
// control character.
std::string AbsoluteFolder(const std::string& path);

// A folder the user chose to install into (--dir, typed in the wizard):
// AbsoluteFolder, but never the root folder itself.
std::string ChosenInstallFolder(const std::string& path);

// /opt/SUBFOLDER as root, ~/.local/opt/SUBFOLDER otherwise, SUBFOLDER being
// the setup's installation subfolder with "\" as separator. Throws
// InvalidRequest when the subfolder is empty or climbs out with "..".
std::string DefaultInstallFolder(const std::string& subfolder, const InstallEnvironment& env);

// The folders for an installation into installFolder (absolute, normalized).
// Throws Refused when the data or config home is "/", $HOME or above it.
LinuxFolders MapFolders(const std::string& installFolder, const InstallEnvironment& env);

// The desktop folder: $XDG_DESKTOP_DIR, else XDG_DESKTOP_DIR of the user-dirs
// file in ConfigHome, else ~/Desktop; empty unless it exists as a folder
// and is neither $HOME nor above it. As root, folders (the config folder too) not owned by root
// are ignored.
std::string DesktopFolder(const InstallEnvironment& env);

// The folders as the install script sees them: "\" text ending in "\", and no
// drives, so a subfolder beginning with "\" starts at the root.
BaseFolders ScriptFolders(const LinuxFolders& folders);

// A target the script worked out, "\" turned into "/", empty and "." parts
// dropped. Throws InvalidRequest when it is not an absolute path (a drive
// letter, an empty folder) or still holds a ".." part.
std::string LinuxPath(const std::string& target);

// Whether path lies in a folder of the mapping (the installation folder,
// Lib, Share, the menus, the desktop, the command folder) or, with orAbove, is a folder above one
// of them (made on the way to it).
bool InMappedFolders(const LinuxFolders& folders, const std::string& path, bool orAbove);

// True when path is folder or lies below it; both absolute and normalized.
bool IsBelow(const std::string& path, const std::string& folder);

// The path's parts between "/".
std::vector<std::string> PathParts(const std::string& path);
