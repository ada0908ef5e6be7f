// A tree: every file, folder and symbolic link below one folder, with exact
// names, held as ONE project file. This is the container's byte layout
// (docs/tree-format.md) and the rules a tree's names and links obey; reading
// checks every count and size against the bytes that exist first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/TreeName.h"

// Limits of one tree (the container's reader refuses more).
inline constexpr uint32_t kMaxTreeEntries = 100000;          // files, folders and links
inline constexpr uint64_t kMaxTreeBytes = uint64_t{1} << 30; // contents and link targets
inline constexpr size_t kMaxTreePath = 4095;                 // bytes of a name or link target
inline constexpr size_t kMaxTreeComponent = 255;             // bytes of one part of a name
// Bytes of a version 2 or 3 tree's index (its records: names and link targets).
inline constexpr uint32_t kMaxTreeIndex = uint32_t{16} << 20;

enum class TreeKind : uint8_t { File = 0, Program = 1, Folder = 2, Link = 3 };

// One entry: a relative name with "/" between its parts; Data is a file's
// contents or a link's target (empty for a folder).
struct TreeEntry {
    TreeKind Kind = TreeKind::File;
    std::string Name;
    std::string Data;

    bool operator==(const TreeEntry&) const = default;
};

struct Tree {
    std::string RootName; // the folder's own name as it was, case kept
    std::vector<TreeEntry> Entries;

    // Files and links (what "N files" counts: folders are not counted).
    uint64_t FileCount() const;
    // Bytes of the files' contents.
    uint64_t ContentSize() const;
};

// The name a folder's tree gets in a project: the folder's name, lower-cased,
// followed by kTreeSuffix ("MyApp" -> "myapp.tree").
std::string TreeProjectName(std::string_view folderName);

// Why name cannot be a tree entry's name (empty when it can): not UTF-8, a
// control character or "\", an empty, "." or ".." part, too long.
std::string TreeNameProblem(std::string_view name);
// Why target cannot be the target of a link named linkName (empty when it
// can): absolute, or leaving the tree. ".." parts may only lead the target,
// and no more of them than the folders above the link.
std::string LinkTargetProblem(std::string_view linkName, std::string_view target);

// How many of a file's first bytes decide where its contents go in the
// container (files alike are written one after another).
inline constexpr size_t kTreeHeadSample = 512;
// Which files a file's contents sit among, from its first bytes (up to
// kTreeHeadSample): 0 text, 1 programs and libraries, 2 other binary data, 3
// data already compressed (images, archives, fonts, sound).
uint8_t TreeFileGroup(std::string_view head);

// The tree as bytes, in the container's version 3 (its index first): the
// folders by name, then the links by name, then the files, those alike (text,
// programs, other binary data, data already compressed; then by extension)
// together, so that the compressor's statistics carry from one to the next.
// Throws InvalidRequest when an entry breaks a rule that DecodeTree checks,
// or the index would pass kMaxTreeIndex.
std::string EncodeTree(Tree tree);
// EncodeTree in pieces, for a tree whose files are not held: entries carry
// no file contents (a link's target they do), sizes[k] is the length of file
// entry k's contents (other entries' sizes are not read), groups[k] its
// TreeFileGroup (none given: all files alike), and contents(k, put) puts
// exactly sizes[k] bytes of them. out takes the
// container's bytes in order. Throws InvalidRequest as EncodeTree does, and
// for contents of another length (the bytes already put are then not a tree).
using TreeBytes = std::function<void(std::string_view bytes)>;
using TreeFileContents = std::function<void(size_t k, const TreeBytes& put)>;
void EncodeTreeInPieces(const std::string& rootName, const std::vector<TreeEntry>& entries,
                        const std::vector<uint64_t>& sizes, const TreeFileContents& contents,
                        const TreeBytes& out, const std::vector<uint8_t>& groups = {});
// The tree in bytes, of version 1, 2 or 3, its entries in name order. Throws
// DamagedInput, naming the entry, for anything
// EncodeTree could not have written: a wrong magic or version, a count or
// size larger than the bytes left, an unsafe name, a duplicate, an entry
// whose folder is not a folder entry before it, an escaping link, bytes left
// over.
Tree DecodeTree(std::string_view bytes);
// Puts entries in name order (as DecodeTree gives them).
void SortTreeEntries(std::vector<TreeEntry>& entries);
// The root name, file count and content size from the header alone.
struct TreeSummary {
    std::string RootName;
    uint32_t EntryCount = 0;
    uint64_t DataSize = 0;
    uint16_t Version = 0;
    uint32_t IndexSize = 0; // versions 2 and 3: the index's length
    // The container's bytes up to the end of the index (versions 2 and 3):
    // all that names, sizes and link targets need.
    uint64_t IndexEnd() const;
};
TreeSummary PeekTree(std::string_view bytes);

// What DecodeTree and TreeReader share. The magic and version; the header's
// length before the folder's name (version 1, version 2 and the longest);
// a record's head (kind, name length, data length).
inline constexpr size_t kTreeMagicSize = 8;
inline constexpr size_t kTreeHeadSize = 18;
inline constexpr size_t kTreeHeadSizeV2 = 22;
inline constexpr size_t kTreeMostHeadSize = kTreeHeadSizeV2;
inline constexpr size_t kTreeRecordHeadSize = 7;
// Checks the magic and version of the header's first kTreeMagicSize bytes
// and gives the header's length before the folder's name.
size_t TreeHeadSize(std::string_view magic);
// Checks the magic and version of the whole header (TreeHeadSize bytes) and
// gives the folder name's length.
uint16_t CheckTreeHead(std::string_view head);
// The header, checked, with left the bytes that follow the folder's name.
TreeSummary ReadTreeHeader(std::string_view head, std::string_view rootName, uint64_t left);
// Why entry cannot follow the entries before it (empty when it can): its own
// rules, its order after previous (unless first: the first entry, or any of
// a version 3 tree, whose names are checked apart), and its folder among
// folders, the folder entries before it.
std::string TreeEntryProblem(const TreeEntry& entry, std::string_view previous, bool first,
                             const std::unordered_set<std::string>& folders);
// The reason for a container that ends before what needs n bytes.
std::string TreeCutShort(const char* what, uint64_t needs, uint64_t left);
