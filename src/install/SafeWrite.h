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

#include "common/ProcessInfo.h"

// The place of an entry below a folder: backslashes become folders, empty and
// "." parts are dropped, a leading drive or separator is ignored. nullopt for
// a name that would leave the folder (a ".." part) or names nothing.
std::optional<std::filesystem::path> SafeRelativePath(const std::string& name);

// The mode a file is given: 0755 for an ELF program or a "#!" script, 0644
// otherwise, with the process's umask applied. The first four bytes decide.
mode_t FileModeFor(std::string_view contents);

// The process's umask: CurrentUmask, from common/ProcessInfo.h.

// An open folder descriptor that closes itself.
class FolderHandle {
  public:
    explicit FolderHandle(int fd = -1) : fd_(fd) {}
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Told the full path of a folder about to be made; false (with why) stops
// the walk before the folder is made.
using BeforeMakeFolder = std::function<bool(const std::filesystem::path& folder, std::string& why)>;

// Opens the folder dir / relative. dir itself is opened as the system finds
// it; below it no symbolic link is followed. With create, missing folders
// (dir too) are made with mode 0777 less the umask, each announced to
// beforeMake first. A closed handle, with why, when a folder on the way is a
// link, not a folder, missing (without create; missing, when given, is then
// set) or cannot be opened.
FolderHandle OpenFolderBelow(const std::filesystem::path& dir,
                             const std::filesystem::path& relative, bool create, std::string& why,
                             const BeforeMakeFolder& beforeMake = {}, bool* missing = nullptr);

// The entry name in folder as lstat sees it; nullopt when there is none.
std::optional<struct stat> StatIn(const FolderHandle& folder, const std::string& name);

// Creates the new, empty file temp in folder (it must not exist yet; links
// are not followed), mode 0600 until FinishFile. -1 with why on failure.
int CreateFileIn(const FolderHandle& folder, const std::string& temp, const std::string& shown,
                 std::string& why);

// Writes every byte to fd; false with errno set on failure.
bool WriteAll(int fd, std::string_view contents);

// Gives the file its mode and closes it; on failure removes temp from folder.
bool FinishFile(const FolderHandle& folder, const std::string& temp, int fd, mode_t mode,
                const std::string& shown, std::string& why);

// Renames temp over name in folder (a folder at name is refused and temp
// removed). replaced, when given, tells whether something was there before.
bool RenameIntoPlace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown, std::string& why, bool* replaced = nullptr);

// A name for a temporary or kept-aside file that nobody else can guess:
// "." + what + process number + random digits.
std::string PrivateName(std::string_view what);

// Writes contents to dir / relative with mode, creating dir and the folders
// between (0777 less the umask). Refuses (false, with why) when a folder on
// the way is a symbolic link or not a folder. replaced, when given, tells
// whether a file of that name was there before.
bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode, std::string& why, bool* replaced = nullptr);

// WriteBelow with the mode FileModeFor gives the contents.
bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents, std::string& why, bool* replaced = nullptr);
