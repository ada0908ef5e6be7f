#include "install/TreeIndex.h"

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
        keep_ = KeptInTreeIndex(entry);
    }
    void Contents(const char* data, size_t count) override {
        if (keep_) index_.Entries.Entries.back().Data.append(data, count);
    }

  private:
    TreeIndex& index_;
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
    ReadTreeEntry(source, entry, indexer);
    return index;
}
