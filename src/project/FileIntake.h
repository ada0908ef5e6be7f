// Files entering the project from outside: files dropped on the file manager
// (or added by the CLI) and the side picture chosen in the general window.
#pragma once

#include <string>
#include <vector>

#include "common/Progress.h"
#include "project/Project.h"

// A file of a drop that was not taken, and why ("the file has 4294967296
// bytes, more than the 4294967295 allowed").
struct DropProblem {
    std::string Path;
    std::string Reason;
    // Missing, a folder, not a regular file or not readable: the file manager
    // passes over such files without a word.
    bool Unreadable = false;
};

// A file whose own name holds a backslash: like a name in a package, it is
// cut after the last one, and the file is added under the shorter Name.
struct ShortenedName {
    std::string Path;
    std::string Name;
};

// What a drop of files did.
struct DropResult {
    int Added = 0;
    int Replaced = 0;
    bool AddedTxt = false;                // a new ".txt" file: the licence list changes
    std::vector<std::string> Skipped;     // paths not taken: unreadable (folders too), a name
                                          // no setup can hold, or one another file of the
                                          // drop has too
    std::vector<std::string> Refused;     // new files past the 512-file limit
    std::vector<DropProblem> Problems;    // every path of Skipped and Refused, with the reason
    std::vector<ShortenedName> Shortened; // files added under a shortened name
};

// The name a file at path gets in a project: the text after the last "/" or
// "\", in lower case. shortened, when given, tells whether a "\" inside the
// file's own name cut it.
std::string IntakeName(const std::string& path, bool* shortened = nullptr);

// Adds each readable file under its IntakeName, as raw bytes to be packed by
// the next save; a name already in the project gets the new contents and
// keeps its place. A file is not taken when it cannot be read whole (larger
// than a package can hold, or changing while it is read), when its name is
// one that opening a setup refuses (IsUnsafeEntryName), or when another file
// of the same drop has the same name (then none of them is taken). progress,
// when given, is told the share of the paths done.
DropResult DropFiles(SetupProject& project, const std::vector<std::string>& paths,
                     ProgressSink* progress = nullptr);

// Reads a picture file for the side picture; empty when rejected: a name
// without one of the extensions .bmp .jpg .gif .ico (and .tmp when allowTmp),
// an unreadable file, 93 bytes or fewer, and with checkSize a bitmap that is
// not 128 x 320 pixels.
std::string LoadPictureFile(const std::string& path, bool allowTmp, bool checkSize);
