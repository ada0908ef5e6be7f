// A tree that a project file holds, read wherever its bytes are (still in
// the setup file the project was read from, packed in memory, as the folder
// was added, or in a file on disk), in pieces: never held whole, and decoded
// no further than needed.
#pragma once

#include "package/TreeArchive.h"
#include "package/TreeReader.h"
#include "project/Project.h"

// The tree's header (folder name, entry count, data size), from its first
// bytes alone. Throws DamagedInput with the reader's reason for a header
// that does not read, KaveloError when the setup changed since it was read,
// IoError when it cannot be read.
TreeSummary ReadProjectTreeSummary(const StoredIn& source, const ProjectFile& file);

// Hands the tree to events as it is read, with every rule of DecodeTree and,
// for a tree still in the setup, its checksum. Throws DamagedInput ("the
// tree NAME is damaged: why") and the errors above.
TreeSummary ReadProjectTree(const StoredIn& source, const ProjectFile& file,
                            TreeReader::Events& events);

// The tree's entries without the files' contents (a link's target kept).
Tree ReadProjectTreeNames(const StoredIn& source, const ProjectFile& file);
