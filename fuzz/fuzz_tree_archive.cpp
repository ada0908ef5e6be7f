// The tree container on fuzzed bytes, versions 1 and 2: DecodeTree must end
// in DamagedInput or give a tree that encodes back to exactly the same bytes
// (a version 2 tree; a version 1 tree encodes to version 2 bytes that decode
// to the same tree; a reader that accepts more than the writer can write is
// a finding), with every name and link inside the tree. The reading in
// pieces of a stored tree must agree: it refuses what DecodeTree refuses,
// tells the same entries (of a version 2 tree from its index alone, reading
// no byte past it), and its header read from the first bytes alone is the
// tree's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/Errors.h"
#include "package/StoredTree.h"
#include "package/TreeArchive.h"

namespace {

// The bytes as a stored entry; end learns the furthest byte read.
StoredContents Raw(std::string_view bytes, uint64_t* end = nullptr) {
    const auto size = static_cast<uint32_t>(bytes.size());
    return {0, size, size, "fuzz.tree", [bytes, end](uint64_t at, char* data, size_t n) {
                std::memcpy(data, bytes.data() + at, n);
                if (end) *end = std::max(*end, at + n);
            }};
}

bool SameNames(const Tree& whole, const Tree& names) {
    if (whole.Entries.size() != names.Entries.size()) return false;
    for (size_t k = 0; k < whole.Entries.size(); ++k) {
        const TreeEntry& a = whole.Entries[k];
        const TreeEntry& b = names.Entries[k];
        const std::string kept = a.Kind == TreeKind::Link ? a.Data : std::string();
        if (a.Kind != b.Kind || a.Name != b.Name || b.Data != kept) return false;
    }
    return whole.RootName == names.RootName;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool whole = false;
    Tree tree;
    try {
        tree = DecodeTree(bytes);
        whole = true;
        const std::string again = EncodeTree(tree);
        // What this program writes reads back, and is written again byte for byte.
        const Tree back = DecodeTree(again);
        if (back.Entries != tree.Entries || EncodeTree(back) != again) std::abort();
        for (const TreeEntry& e : tree.Entries) {
            if (!TreeNameProblem(e.Name).empty()) std::abort();
            if (e.Kind == TreeKind::Link && !LinkTargetProblem(e.Name, e.Data).empty())
                std::abort();
        }
    } catch (const DamagedInput&) {
    }
    try {
        uint64_t end = 0;
        const Tree names = ReadStoredTreeNames(Raw(bytes, &end));
        if (!whole || !SameNames(tree, names)) std::abort();
        const TreeSummary head = ReadTreeSummary(Raw(bytes));
        if (head.RootName != tree.RootName || head.EntryCount != tree.Entries.size()) std::abort();
        // Past the index, only what reading the header decodes (the header
        // and the longest folder name it can announce).
        const uint64_t headerRead = kTreeMostHeadSize + UINT16_MAX;
        if (head.Version == 2 && end > std::max(head.IndexEnd(), headerRead)) std::abort();
    } catch (const DamagedInput&) {
        if (whole) std::abort();
    }
    return 0;
}
