// How kavelo shows a tree: one note for its line in kavelo list, and the
// listing of kavelo tree.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"

// "tree: N entries, S bytes" for an entry whose name marks a tree, from its
// header alone (files, folders and links; the bytes of their contents and
// link targets), "damaged tree: why" when that does not read, and empty for
// any other entry.
std::string TreeNote(const ByteSource& source, const DirectoryEntry& entry);

// kavelo tree's listing, written to out by End once the tree's index has
// been read: one line per entry in name order (kind letter, size, name; "/"
// after a folder, "->" and the target after a link), then the file count,
// size and folder name.
class TreeListing : public TreeReader::Events {
  public:
    explicit TreeListing(std::FILE* out) : out_(out) {}
    void Begin(const TreeEntry& entry, uint32_t size) override;
    void Contents(const char*, size_t) override {}
    void End(const std::string& rootName);

  private:
    std::FILE* out_;
    std::vector<std::pair<std::string, std::string>> lines_; // name, line
    uint64_t files_ = 0;
    uint64_t bytes_ = 0;
};
