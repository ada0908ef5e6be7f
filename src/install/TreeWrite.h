// Unpacking a tree below a folder with the safe writer's steps: folders are
// made or opened without following links, files are written under a
// temporary name and renamed into place, links are made beside and renamed.
// Used by kavelo extract and the setup's --extract.
#pragma once

#include <filesystem>
#include <functional>

#include "package/TreeArchive.h"

// Told each entry once it is in place below dir.
using TreeWritten = std::function<void(const TreeEntry& entry)>;

// Writes every entry of tree below dir (made when missing). Files get 0644,
// programs 0755, both less the umask. Throws KaveloError naming the path
// when an entry cannot be written; the entries before it stay.
void WriteTreeBelow(const std::filesystem::path& dir, const Tree& tree,
                    const TreeWritten& written = {});
