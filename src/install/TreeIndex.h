// What planning needs of a tree the setup carries, without holding the tree
// whole: every entry's kind and name, a link's target and the size of every
// file. Of a version 2 or 3 tree only the header and the index are decoded; a
// version 1 tree is decoded whole, and its PNG and SVG files (a launcher may
// show one) are kept on the way. Installing takes the other contents from
// the setup again, as it writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"

struct TreeIndex {
    Tree Entries; // no root name; files' Data empty but for a version 1 tree's PNG and SVG
    std::vector<uint32_t> Sizes; // each entry's size (a file's contents, a link's target)
    // Version 2: where each entry's contents begin in the container; empty
    // for version 1.
    std::vector<uint64_t> Offsets;
};

// Throws DamagedInput naming the entry for a damaged tree or stream.
TreeIndex ReadTreeIndex(const ByteSource& source, const DirectoryEntry& entry);

// The contents of file k of index, the tree entry holds: kept in the index,
// or decoded from the setup up to the file's end. Throws DamagedInput naming
// the tree for a damaged stream.
std::string ReadTreeFile(const ByteSource& source, const DirectoryEntry& entry,
                         const TreeIndex& index, size_t k);

// Decodes the tree entry and reads it as it comes, telling events. Throws
// DamagedInput, naming the tree, for a damaged tree or stream.
void ReadTreeEntry(const ByteSource& source, const DirectoryEntry& entry,
                   TreeReader::Events& events);

// Whether a tree file's contents are kept in a version 1 tree's index.
bool KeptInTreeIndex(const TreeEntry& entry);
