// Folders entering the project as trees: a folder is scanned (every name
// and size known), then written as one tree container, its index first and
// then file by file, never held whole, and added under its TreeProjectName.
// Anything a tree cannot carry (devices, sockets, FIFOs, absolute or escaping
// links, unreadable files, names the target cannot hold) refuses the folder,
// each path with its reason.
#pragma once

#include <string>
#include <vector>

#include "common/Progress.h"
#include "package/TreeArchive.h"
#include "project/FileIntake.h"

// A folder read from disk: the tree, or the problems that refuse it. A scan
// leaves the files' contents on disk: Paths and Sizes (by entry) say where
// they are and how long, Groups which files each sits among in the
// container (TreeFileGroup of its first bytes).
struct FolderRead {
    Tree Contents;
    std::vector<DropProblem> Problems;
    std::vector<std::string> Paths;
    std::vector<uint64_t> Sizes;
    std::vector<uint8_t> Groups;
};

// Finds every file, folder and link below folder (links are not followed),
// each file checked to be readable but not read.
FolderRead ScanFolderTree(const std::string& folder);

// ScanFolderTree, with every file's contents read into the tree.
FolderRead ReadFolderTree(const std::string& folder);

// The container of a scanned folder, its files read in pieces as they are
// written, in bounded memory (a large tree goes to a scratch file). progress,
// when given, is told the share of the files' bytes read. Throws KaveloError
// naming the file that cannot be read, or that "changed while it was being
// added" (its size or kind is not the scan's).
std::variant<std::string, EntryRecord, FileOnDisk>
WriteFolderTree(const FolderRead& scan, ProgressSink* progress = nullptr);

// Adds each folder as a tree (container bytes, in memory or in a scratch
// file, packed by the next save with the project's codec); a tree of the
// same name is replaced in place.
// When any folder has a problem, two folders would get the same name, or the
// project is full, nothing is added and Problems says why. progress, when
// given, is told the share read, each folder an equal part.
DropResult DropFolders(SetupProject& project, const std::vector<std::string>& folders,
                       ProgressSink* progress = nullptr);
