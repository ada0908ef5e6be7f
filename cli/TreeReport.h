// How kavelo shows a tree: one note for its line in kavelo list, and the
// listing of kavelo tree.
#pragma once

#include <string>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"
#include "package/TreeArchive.h"

// "tree: N files, S bytes" for an entry whose name marks a tree, "damaged
// tree: why" when it does not read, and empty for any other entry.
std::string TreeNote(const ByteSource& source, const DirectoryEntry& entry);

// One line per entry (kind letter, size, name; "/" after a folder, "->" and
// the target after a link), then the file count, size and folder name.
std::string TreeListing(const Tree& tree);
