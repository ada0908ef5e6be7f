// Files and folders entering the project, read on a worker thread while the
// windows stay painted: the drop's intake (DropFiles, DropFolders) runs on a
// copy of the project's file names, and what it read is taken into the
// project on the window thread afterwards. Also what a tree holds, for the
// file manager's line.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "project/FileIntake.h"

class ProjectEvents;
class qkProgressA;

// What a tree holds as its header tells it (its entries: files, folders and
// links; the bytes of their contents and link targets), or why that does
// not read.
struct TreeFacts {
    uint64_t Entries = 0;
    uint64_t Bytes = 0;
    std::string Damage; // empty when the header reads
};

// The facts of a project file that is a tree, wherever it lies (source: the
// setup the project was read from), from the tree's first bytes alone.
TreeFacts ReadTreeFacts(const StoredIn& source, const ProjectFile& file);

// What one addition did.
struct Intake {
    DropResult Files;                   // DropFiles' result
    DropResult Folders;                 // DropFolders' result
    std::vector<int32_t> Changed;       // the files added or replaced, by index
    std::map<int32_t, TreeFacts> Trees; // the facts of those that are trees
};

// Adds files (as a drop) and folders (as trees) to the project of events,
// read on a worker thread with bar told the progress. The project is busy
// meanwhile.
Intake ReadInBackground(ProjectEvents& events, const std::vector<std::string>& files,
                        const std::vector<std::string>& folders, qkProgressA* bar);

// The facts of the trees at indices, read on a worker thread with bar told
// the progress.
std::map<int32_t, TreeFacts>
ReadTreesInBackground(ProjectEvents& events, const std::vector<int32_t>& indices, qkProgressA* bar);
