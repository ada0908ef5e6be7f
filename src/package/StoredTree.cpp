#include "package/StoredTree.h"

#include <limits>

#include "common/Errors.h"

TreeSummary ReadTreeSummary(const StoredContents& stored) {
    // The header and the longest folder name a header can announce.
    const size_t most = kTreeHeadSize + std::numeric_limits<uint16_t>::max();
    const std::string prefix = DecodePrefix(stored, most);
    if (prefix.size() < kTreeHeadSize)
        throw DamagedInput(TreeCutShort("the header", kTreeHeadSize, prefix.size()));
    const std::string_view head(prefix.data(), kTreeHeadSize);
    const uint16_t rootLength = CheckTreeHead(head);
    const size_t left = prefix.size() - kTreeHeadSize;
    if (rootLength > left) throw DamagedInput(TreeCutShort("the folder's name", rootLength, left));
    const uint64_t after =
        stored.Size >= kTreeHeadSize + rootLength ? stored.Size - kTreeHeadSize - rootLength : 0;
    return ReadTreeHeader(head, std::string_view(prefix).substr(kTreeHeadSize, rootLength), after);
}

TreeSummary ReadStoredTree(const StoredContents& stored, TreeReader::Events& events) {
    try {
        TreeReader reader(stored.Size, events);
        uint64_t read = 0;
        DecodeInPieces(stored, [&](const char* data, size_t count) {
            if (count > stored.Size - read)
                throw DamagedInput("unpacks to more than " + std::to_string(stored.Size) +
                                   " bytes");
            read += count;
            reader.Add(data, count);
        });
        reader.Finish();
        return reader.Summary();
    } catch (const DamagedInput& e) {
        throw DamagedInput("the tree " + stored.Name + " is damaged: " + e.Reason(), e.Path());
    }
}

Tree ReadStoredTreeNames(const StoredContents& stored) {
    Tree tree;
    TreeNameList names(tree);
    tree.RootName = ReadStoredTree(stored, names).RootName;
    return tree;
}
