// Files entering the project from outside: files dropped on the file manager
// (or added by the CLI) and the side picture chosen in the general window.
#pragma once

#include <string>
#include <vector>

#include "project/Project.h"

// What a drop of files did.
struct DropResult {
    int Added = 0;
    int Replaced = 0;
    bool AddedTxt = false;            // a new ".txt" file: the licence list changes
    std::vector<std::string> Skipped; // paths that could not be read (folders too)
    std::vector<std::string> Refused; // new files past the 512-file limit
};

// Adds each readable file under its lower-cased name without folders, as raw
// bytes to be packed by the next save; a name already in the project gets the
// new contents and keeps its place.
DropResult DropFiles(SetupProject& project, const std::vector<std::string>& paths);

// Reads a picture file for the side picture; empty when rejected: a name
// without one of the extensions .bmp .jpg .gif .ico (and .tmp when allowTmp),
// an unreadable file, 93 bytes or fewer, and with checkSize a bitmap that is
// not 128 x 320 pixels.
std::string LoadPictureFile(const std::string& path, bool allowTmp, bool checkSize);
