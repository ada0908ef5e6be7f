#include "install/TreeIndex.h"

#include <algorithm>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "package/StoredTree.h"
#include "package/TreeReader.h"

namespace {

class Indexer : public TreeReader::Events {
  public:
    explicit Indexer(TreeIndex& index) : index_(index) {}
    void Begin(const TreeEntry& entry, uint32_t size) override {
        index_.Entries.Entries.push_back(entry);
        index_.Sizes.push_back(entry.Kind == TreeKind::Link ? entry.Data.size() : size);
        index_.Offsets.push_back(files_);
        if (entry.Kind != TreeKind::Link) files_ += size;
        keep_ = KeptInTreeIndex(entry);
    }
    // Only a version 1 tree's contents come.
    void Contents(const char* data, size_t count) override {
        if (keep_) index_.Entries.Entries.back().Data.append(data, count);
    }

  private:
    TreeIndex& index_;
    uint64_t files_ = 0; // the files' contents before the entry
    bool keep_ = false;
};

} // namespace

bool KeptInTreeIndex(const TreeEntry& entry) {
    const bool file = entry.Kind == TreeKind::File || entry.Kind == TreeKind::Program;
    const std::string name = LowerAscii(entry.Name);
    return file && (name.ends_with(".png") || name.ends_with(".svg"));
}

void ReadTreeEntry(const ByteSource& source, const DirectoryEntry& entry,
                   TreeReader::Events& events) {
    ReadStoredTree(StoredInSource(source, entry), events);
}

TreeIndex ReadTreeIndex(const ByteSource& source, const DirectoryEntry& entry) {
    TreeIndex index;
    Indexer indexer(index);
    const TreeSummary summary = ReadStoredTreeIndex(StoredInSource(source, entry), indexer);
    if (summary.Version == 1) {
        index.Offsets.clear();
        return index;
    }
    for (uint64_t& offset : index.Offsets)
        offset += summary.IndexEnd();
    return index;
}

// A version 2 tree's icons are read only when a launcher shows one, and only
// up to that file's end. Icons are small, but they lie wherever their names
// sort (an application's share/icons after its bin/ and lib/), so reading
// every icon while planning would often decode most of the tree twice.
std::string ReadTreeFile(const ByteSource& source, const DirectoryEntry& entry,
                         const TreeIndex& index, size_t k) {
    if (index.Offsets.empty()) return index.Entries.Entries[k].Data;
    const uint64_t begin = index.Offsets[k];
    const uint64_t end = begin + index.Sizes[k];
    std::string contents; // grown as bytes come, never from the index's size
    uint64_t at = 0;
    try {
        DecodeInPieces(
            StoredInSource(source, entry),
            [&](const char* data, size_t count) {
                const uint64_t from = std::max(at, begin), to = std::min(at + count, end);
                if (from < to) contents.append(data + (from - at), static_cast<size_t>(to - from));
                at += count;
            },
            end);
    } catch (const DamagedInput& e) {
        throw DamagedInput("the tree " + entry.Name + " is damaged: " + e.Reason(), e.Path());
    }
    if (contents.size() != index.Sizes[k])
        throw DamagedInput("the tree " + entry.Name + " is damaged: it ends before " +
                               "the contents of \"" + index.Entries.Entries[k].Name + "\"",
                           index.Entries.Entries[k].Name);
    return contents;
}
