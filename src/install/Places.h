// Where an installation's files lie: a folder it starts from (a root) and a
// path below it. Every file operation of an installation, its undo and its
// uninstall opens the root and walks down without following links, so a
// link planted below a root can never lead out of it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/SafeWrite.h"

struct Place {
    int Root = -1;
    std::string Relative; // "/"-separated, no leading "/"; empty is the root itself
    bool operator==(const Place&) const = default;
};

// The roots an installation uses, by number. Once opened, every walk below a
// root starts from the descriptor opened then, so that a root swapped for a
// link afterwards leads nowhere else; copies share the descriptors.
class RootTable {
  public:
    // The number of folder (absolute, normalized), added when it is new.
    int Add(const std::string& folder);
    const std::vector<std::string>& Folders() const { return folders_; }
    bool Has(int root) const { return root >= 0 && root < static_cast<int>(folders_.size()); }
    std::string Absolute(const Place& place) const;
    // The place of absolute below the deepest root that holds it.
    std::optional<Place> PlaceOf(const std::string& absolute) const;

    // Opens every root not opened yet with OpenAbsoluteFolder under rules.
    // A root that is missing stays closed.
    void Open(const FolderRules& rules);
    const FolderRules& Rules() const { return rules_; }
    // The folder relative below root, walked from the root's descriptor under
    // the rules (a missing root is a missing folder). The root must be open.
    FolderHandle OpenBelow(int root, const std::string& relative, FolderWalk walk,
                           const BeforeMakeFolder& beforeMake = {}) const;

  private:
    std::vector<std::string> folders_;
    std::vector<std::shared_ptr<const FolderHandle>> handles_;
    FolderRules rules_;
};

// The SHA-256 (hexadecimal) of the regular file at where, opened without
// following links, or the LinkHash of a symbolic link there; nullopt when
// there is neither (missing, not a regular file, not readable). Throws
// Refused for a link on the way, IoError when reading the open file fails.
std::optional<std::string> HashFileAt(const RootTable& roots, const Place& where);

// What the manifest records for a symbolic link a tree installed: the
// SHA-256 of "symlink:" followed by its target.
std::string LinkHash(std::string_view target);

// The bytes of the record file name in folder (the journal, the manifest)
// when this user's installation wrote it: a regular file of the user's own,
// writable by nobody else, of at most maxSize bytes; anyone could plant
// another, so no other is acted on. nullopt when there is none; throws
// Refused (naming shown, what the file is) when it is not trusted, IoError
// when it cannot be read.
std::optional<std::string> ReadOwnRecordFile(const FolderHandle& folder, const std::string& name,
                                             uint64_t maxSize, const std::string& shown,
                                             const std::string& what);

// The folder a relative path lies in, and its last part.
std::string ParentOf(const std::string& relative);
std::string LeafOf(const std::string& relative);

// One line of a record file (the journal, the manifest): fields separated by
// tabs, each with \, tab, line breaks and other control characters escaped,
// so that any name fits on one line.
std::string RecordLine(const std::vector<std::string>& fields);
// The fields of a line; nullopt when an escape in it is broken.
std::optional<std::vector<std::string>> ReadRecordLine(const std::string& line);
