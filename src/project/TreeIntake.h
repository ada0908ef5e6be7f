// Folders entering the project as trees: a folder is read whole into one
// Tree, and added under its TreeProjectName. Anything a tree cannot carry
// (devices, sockets, FIFOs, absolute or escaping links, unreadable files,
// names the target cannot hold) refuses the folder, each path with its reason.
#pragma once

#include <string>
#include <vector>

#include "common/Progress.h"
#include "package/TreeArchive.h"
#include "project/FileIntake.h"

// A folder read from disk: the tree, or the problems that refuse it.
struct FolderRead {
    Tree Contents;
    std::vector<DropProblem> Problems;
};

// Reads every file, folder and link below folder (links are not followed).
// progress, when given, is told the share of the files' bytes read.
FolderRead ReadFolderTree(const std::string& folder, ProgressSink* progress = nullptr);

// Adds each folder as a tree (raw container bytes, packed by the next save
// with the project's codec); a tree of the same name is replaced in place.
// When any folder has a problem, two folders would get the same name, or the
// project is full, nothing is added and Problems says why. progress, when
// given, is told the share read, each folder an equal part.
DropResult DropFolders(SetupProject& project, const std::vector<std::string>& folders,
                       ProgressSink* progress = nullptr);
