// Writing files below a folder without ever leaving it: names that climb out
// are refused, symbolic links on the way are never followed, and a file is
// written under a temporary name and renamed into place, so a file (or a hard
// link) already there is replaced, never written through. Shared by the setup
// runtime's and the CLI's extraction and by the installer, which uses the
// steps one by one so that it can record each in its journal first.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/FileDescriptor.h"
#include "common/ProcessInfo.h"

// The place of an entry below a folder: backslashes become folders, empty and
// "." parts are dropped, a leading drive or separator is ignored. nullopt for
// a name that would leave the folder (a ".." part) or names nothing.
std::optional<std::filesystem::path> SafeRelativePath(const std::string& name);

// The mode a program gets: 0755 for an ELF program or a "#!" script, 0644
// otherwise. The first four bytes decide.
mode_t ProgramMode(std::string_view contents);

// ProgramMode with the process's umask applied.
mode_t FileModeFor(std::string_view contents);

// The process's umask: CurrentUmask, from common/ProcessInfo.h.

// An open descriptor of a folder or of a file, closed when it goes.
using FolderHandle = FileDescriptor;
using FileHandle = FileDescriptor;

// Told of a folder a walk makes: before it is made, and again when it
// turned out to exist already (another process made it meanwhile), so that
// it is not counted as made. Throws to stop the walk.
enum class FolderEvent { AboutToMake, FoundMade };
using BeforeMakeFolder =
    std::function<void(const std::filesystem::path& folder, FolderEvent event)>;

enum class FolderWalk {
    Create,    // missing folders are made
    Existing,  // a missing folder is an error
    IfPresent, // a missing folder gives a closed handle
};

// How an installation treats the folders it walks. As root it trusts no
// folder that another user could replace, and what it makes gets exact modes.
struct FolderRules {
    // Refuse (Refused) a folder that is a link, is owned by another user than
    // root or this one, or may be written by the group or others without the
    // sticky bit, as sshd's strict modes do.
    bool Strict = false;
    // Folders made get exactly FolderMode, files 0755 or 0644, whatever the
    // umask; otherwise those modes less the umask.
    bool ExactModes = false;
    // An installation never makes a folder others may write; a plain
    // extraction makes 0777 less the umask, as mkdir -p does.
    mode_t FolderMode = 0755;
};

// Why st may not be trusted under strict rules; empty when it may.
std::string UntrustedFolder(const struct stat& st);

// The mode a file of the installation gets (0755 or 0644 as FileModeFor
// tells, with the umask only when the rules say so), and a folder's (0755).
mode_t InstallFileMode(mode_t base, const FolderRules& rules);

// Opens the folder dir / relative. dir itself is opened as the system finds
// it; below it no symbolic link is followed. With Create, missing folders
// (dir too) are made with mode 0777 less the umask, each announced to
// beforeMake first. Throws Refused when a folder on the way is a link or not
// a folder, IoError when one cannot be opened or made.
FolderHandle OpenFolderBelow(const std::filesystem::path& dir,
                             const std::filesystem::path& relative, FolderWalk walk,
                             const BeforeMakeFolder& beforeMake = {});

// OpenFolderBelow from the open folder start (shown as startShown), never
// following a link, under rules: strict refuses untrusted folders, and
// folders made get rules.FolderMode (exactly, or less the umask). start
// stays open.
FolderHandle OpenFolderBelowFd(int start, const std::string& startShown,
                               const std::filesystem::path& relative, FolderWalk walk,
                               const FolderRules& rules, const BeforeMakeFolder& beforeMake = {});

// An absolute folder opened part by part from "/". Without strict rules a
// link on the way is followed (resolved now, once); with them it is refused,
// and so is every part UntrustedFolder refuses. The walk stops at the first
// part that is missing: Reached is the deepest part that exists (the
// folder's anchor) and Folder its handle.
struct OpenedFolder {
    FolderHandle Folder;
    std::string Reached;
    bool Complete = false;
};
OpenedFolder OpenAbsoluteFolder(const std::string& path, const FolderRules& rules);

// The entry name in folder as lstat sees it; nullopt when there is none.
std::optional<struct stat> StatIn(const FolderHandle& folder, const std::string& name);

// Creates the new, empty file temp in folder (it must not exist yet; links
// are not followed), with mode less the umask until FinishFile. Throws
// IoError naming shown.
FileHandle CreateFileIn(const FolderHandle& folder, const std::string& temp,
                        const std::string& shown, mode_t mode = 0600);

// Gives the file its mode (none: it keeps the one it has) and closes it; on
// failure removes temp from folder and throws IoError.
void FinishFile(const FolderHandle& folder, const std::string& temp, FileHandle& file,
                std::optional<mode_t> mode, const std::string& shown);

// Renames temp over name in folder (a folder at name is refused and temp
// removed); true when something was there before.
bool RenameIntoPlace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown);

// Renames temp to name in folder unless something is there already: false
// then (nothing done), or when the file system cannot rename so. Throws
// IoError, temp removed, when the rename fails otherwise.
bool RenameNoReplace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown);

// A name for a temporary or kept-aside file that nobody else can guess:
// "." + what + process number + random digits.
std::string PrivateName(std::string_view what);
// The same name with the given digits: a PrivateNumber counted up gives
// private names without a call to the system for each.
std::string PrivateName(std::string_view what, uint64_t digits);
uint64_t PrivateNumber();

// Whether name has the form PrivateName(what) gives.
bool IsPrivateName(std::string_view name, std::string_view what);

// Writes contents to dir / relative with mode, creating dir and the folders
// between (0777 less the umask). Refuses when a folder on the way is a
// symbolic link or not a folder. True when a file of that name was there.
bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode);

// WriteBelow with the mode FileModeFor gives the contents.
bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents);

// Takes the pieces of a file's contents, in order.
using PieceSink = std::function<void(const char* data, size_t count)>;

// WriteEntryBelow with the contents handed over in pieces by fill, which is
// called once with the sink to give them to; the file is never held whole.
// The mode comes from the first bytes. When fill or a write throws, the
// exception goes on to the caller and no temporary file stays.
bool WriteEntryBelowInPieces(const std::filesystem::path& dir,
                             const std::filesystem::path& relative,
                             const std::function<void(const PieceSink& sink)>& fill);
