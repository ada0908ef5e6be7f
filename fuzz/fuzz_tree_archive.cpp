// The tree container on fuzzed bytes: DecodeTree must end in DamagedInput or
// give a tree that encodes back to exactly the same bytes (a reader that
// accepts more than the writer can write is a finding), with every name and
// link inside the tree.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Errors.h"
#include "package/TreeArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const Tree tree = DecodeTree(bytes);
        if (EncodeTree(tree) != bytes) std::abort();
        for (const TreeEntry& e : tree.Entries) {
            if (!TreeNameProblem(e.Name).empty()) std::abort();
            if (e.Kind == TreeKind::Link && !LinkTargetProblem(e.Name, e.Data).empty())
                std::abort();
        }
    } catch (const DamagedInput&) {
    }
    return 0;
}
