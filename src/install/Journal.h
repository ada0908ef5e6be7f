// The write-ahead journal of an installation (".kavelo-journal" in its
// folder). Before each step on the disk (making a folder, setting a file
// aside, creating a temporary file, renaming a new file into place) a line
// says what is about to happen, so that whatever was done can be undone: by
// the installation itself when a step fails or it is cancelled, and by the
// next start after a kill. After the last line, "commit", only the files set
// aside remain to be removed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/LinuxFolders.h"
#include "install/Places.h"
#include "install/SafeWrite.h"

inline constexpr std::string_view kJournalName = ".kavelo-journal";

// Found: a folder announced by MakeFolder existed when it was to be made
// (another process made it meanwhile); it is not this installation's.
enum class JournalKind { Root, MakeFolder, Keep, Temp, New, Commit, Found };

struct JournalRecord {
    JournalKind Kind = JournalKind::Commit;
    Place Where;         // Root: Where.Root is the number being defined
    std::string Folder;  // Root: the absolute folder
    std::string Aside;   // Keep: the name the file is set aside under, in its own folder
    uint64_t Device = 0; // Keep, New: the file set aside or renamed into place
    uint64_t Inode = 0;
};

std::string JournalLine(const JournalRecord& record);

// The records of a journal read from path. A last line without its line
// break (the write a kill cut short) is left out: its step had not begun.
// Throws DamagedInput naming path when a line does not read or names a root
// not defined before it.
std::vector<JournalRecord> ReadJournal(std::string_view text, const std::string& path);

// The journal file of a running installation, and the records it holds.
class Journal {
  public:
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Creates the journal in folder (none may be there) with its first line;
    // when that line cannot be written, no journal stays. shown is its path.
    void Create(const FolderHandle& folder, const std::string& shown);
    bool IsOpen() const { return file_.IsOpen(); }
    // Appends a record before its step is taken.
    void Add(const JournalRecord& record);
    // Makes what was written last through a power cut (folder holds it).
    void Sync(const FolderHandle& folder);
    const std::vector<JournalRecord>& Records() const { return records_; }
    // Closes and removes the journal file.
    void Remove(const FolderHandle& folder);

  private:
    FileHandle file_;
    std::string shown_;
    std::vector<JournalRecord> records_;
};

struct RecoveryResult {
    bool Committed = false;               // the installation had completed; only tidying was left
    std::vector<std::string> Problems;    // steps that could not be undone (the journal stays)
    std::vector<std::string> KeptFolders; // folders it made that others' files now fill
};

// Undoes what records say was done, newest first: new files removed (only
// the very files it made), temporary files removed, files set aside put back;
// then the folders it made are removed when empty, and last the journal
// (removeJournal), except that the folders made that hold the journal (those
// at or above journalFolder) go with it, after it (see FolderChain.h).
// Records that end in a commit are tidied instead: the files set aside
// removed. When a step fails the rest is still tried, but the journal and
// the folders stay, so that the next start tries again. This is where undoing
// ends: what fails is reported in the result, never thrown.
// roots are the records' roots, opened.
RecoveryResult UndoJournal(const std::vector<JournalRecord>& records, const RootTable& roots,
                           const std::function<void()>& removeJournal,
                           const std::optional<Place>& journalFolder = std::nullopt);

// Holds the installation folder while an installation or an uninstallation
// works in it: an exclusive lock on the folder itself, which the system drops
// when the holder ends, even by a kill.
class InstallLock {
  public:
    // Opens folder part by part under rules (nullopt when it does not exist)
    // and locks it. Throws Refused when another process holds it or the
    // rules refuse it, IoError when it cannot be opened.
    static std::optional<InstallLock> Take(const std::string& folder,
                                           const FolderRules& rules = {});
    // Locks the folder open as folder, shown as path.
    static InstallLock Hold(FolderHandle folder, const std::string& path);
    // Locks the deepest part of folder that exists, so that two installations
    // making the same folders do not plan at once, and removes there the
    // folders an installation killed while making them left (FolderChain.h).
    static InstallLock TakeAnchor(const std::string& folder, const FolderRules& rules = {});
    const FolderHandle& Folder() const { return folder_; }

  private:
    FolderHandle folder_;
};

// What a start found of an earlier installation that did not end.
struct Recovery {
    bool Found = false; // there was a journal
    RecoveryResult Result;
};

// Looks for the journal of an installation that did not end in the locked
// installation folder and undoes or tidies it, walking its roots under
// rules. Throws when the journal cannot be trusted (not the user's own file,
// damaged, a record outside the folders the mapping allows, a temporary name
// not of the private form) or read.
Recovery RecoverInstallation(const InstallLock& lock, const std::string& folder,
                             const LinuxFolders& mapped, const FolderRules& rules = {});
