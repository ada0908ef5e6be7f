// What planning needs of a tree the setup carries, read as the entry is
// decoded, without holding the tree whole: every entry's kind and name, a
// link's target, the contents of its PNG and SVG files (a launcher may show
// one) and the size of every file. Installing takes the other contents from
// the setup again, as it writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"

struct TreeIndex {
    Tree Entries;                // no root name; files' Data empty but for PNG and SVG
    std::vector<uint32_t> Sizes; // each entry's size (a file's contents, a link's target)
};

// Throws DamagedInput naming the entry for a damaged tree or stream.
TreeIndex ReadTreeIndex(const ByteSource& source, const DirectoryEntry& entry);

// Decodes the tree entry and reads it as it comes, telling events. Throws
// DamagedInput, naming the tree, for a damaged tree or stream.
void ReadTreeEntry(const ByteSource& source, const DirectoryEntry& entry,
                   TreeReader::Events& events);

// Whether a tree file's contents are kept in its index.
bool KeptInTreeIndex(const TreeEntry& entry);
