#include "package/StoredTree.h"

#include <limits>

#include "common/Errors.h"

TreeSummary ReadTreeSummary(const StoredContents& stored) {
    // The header and the longest folder name a header can announce.
    const size_t most = kTreeMostHeadSize + std::numeric_limits<uint16_t>::max();
    const std::string prefix = DecodePrefix(stored, most);
    if (prefix.size() < kTreeHeadSize)
        throw DamagedInput(TreeCutShort("the header", kTreeHeadSize, prefix.size()));
    const size_t headSize = TreeHeadSize(prefix);
    if (prefix.size() < headSize)
        throw DamagedInput(TreeCutShort("the header", headSize, prefix.size()));
    const std::string_view head(prefix.data(), headSize);
    const uint16_t rootLength = CheckTreeHead(head);
    const size_t left = prefix.size() - headSize;
    if (rootLength > left) throw DamagedInput(TreeCutShort("the folder's name", rootLength, left));
    const uint64_t after =
        stored.Size >= headSize + rootLength ? stored.Size - headSize - rootLength : 0;
    return ReadTreeHeader(head, std::string_view(prefix).substr(headSize, rootLength), after);
}

namespace {

// Reads the tree as the entry is decoded, up to limit bytes of it.
TreeSummary ReadDecoded(const StoredContents& stored, TreeReader::Events& events,
                        TreeReader::Reading reading, uint64_t limit) {
    try {
        TreeReader reader(stored.Size, events, reading);
        uint64_t read = 0;
        DecodeInPieces(
            stored,
            [&](const char* data, size_t count) {
                if (count > stored.Size - read)
                    throw DamagedInput("unpacks to more than " + std::to_string(stored.Size) +
                                       " bytes");
                read += count;
                reader.Add(data, count);
            },
            limit);
        reader.Finish();
        return reader.Summary();
    } catch (const DamagedInput& e) {
        throw DamagedInput("the tree " + stored.Name + " is damaged: " + e.Reason(), e.Path());
    }
}

} // namespace

TreeSummary ReadStoredTree(const StoredContents& stored, TreeReader::Events& events) {
    return ReadDecoded(stored, events, TreeReader::Reading::Whole, UINT64_MAX);
}

// The header tells where a version 2 tree's index ends; only that much of
// the entry is decoded.
TreeSummary ReadStoredTreeIndex(const StoredContents& stored, TreeReader::Events& events) {
    uint64_t limit = UINT64_MAX;
    try {
        if (const TreeSummary head = ReadTreeSummary(stored); head.Version != 1)
            limit = head.IndexEnd();
    } catch (const DamagedInput& e) {
        throw DamagedInput("the tree " + stored.Name + " is damaged: " + e.Reason(), e.Path());
    }
    return ReadDecoded(stored, events, TreeReader::Reading::IndexOnly, limit);
}

Tree ReadStoredTreeNames(const StoredContents& stored) {
    Tree tree;
    TreeNameList names(tree);
    tree.RootName = ReadStoredTreeIndex(stored, names).RootName;
    SortTreeEntries(tree.Entries);
    return tree;
}
