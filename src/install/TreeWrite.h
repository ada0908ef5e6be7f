// Unpacking a tree below a folder with the safe writer's steps, as a
// TreeReader tells its entries, so that a tree is never held whole: folders
// are made or opened without following links, files are written under a
// temporary name as their contents arrive and renamed into place, links are
// made beside and renamed. Used by kavelo extract and the setup's --extract.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>

#include "install/SafeWrite.h"
#include "package/TreeReader.h"

// Told each entry once it is in place below the folder.
using TreeWritten = std::function<void(const TreeEntry& entry)>;

// Writes every entry a reader tells below dir (made when missing). Files get
// 0644, programs 0755, both less the umask. Throws KaveloError naming the
// path when an entry cannot be written; the entries before it stay, and no
// temporary file does.
class TreeUnpacker : public TreeReader::Events {
  public:
    explicit TreeUnpacker(std::filesystem::path dir, TreeWritten written = {});
    ~TreeUnpacker() override;
    TreeUnpacker(const TreeUnpacker&) = delete;
    TreeUnpacker& operator=(const TreeUnpacker&) = delete;

    void Begin(const TreeEntry& entry, uint32_t size) override;
    void Contents(const char* data, size_t count) override;

  private:
    void FileDone();

    const std::filesystem::path dir_;
    const TreeWritten written_;
    const mode_t mask_;
    // The file being written: its entry, folder, temporary name, bytes left.
    TreeEntry entry_;
    FolderHandle folder_;
    FileHandle file_;
    std::string temp_;
    std::string shown_;
    uint64_t left_ = 0;
};
