// What the file manager writes besides plain names: a tree's line with its
// entry count and size, and the status line naming what an addition did not
// take and why.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "project/FileIntake.h"

struct TreeFacts;

// The list's line for a file: its name; for a tree, the name followed by
// "(tree: N entries, S bytes)", or "(damaged tree: why)".
QString FileLine(const std::string& name, const TreeFacts* tree);

// The files a drop did not take: those past the 512-file limit by name
// (string 505), the others by name and reason (string 506). Files that
// cannot be read, folders among them, are passed over silently.
QString RefusedFilesText(const DropResult& result);

// The folders an addition did not take: past the 512-file limit by name
// (string 505), else every offending path below them with its reason
// (string 508); paths are shown from the folder's own name on.
QString RefusedFoldersText(const DropResult& result, const std::vector<std::string>& folders);
