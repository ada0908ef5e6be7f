#include "TreeReport.h"

#include <cstdio>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageReader.h"

std::string TreeNote(const ByteSource& source, const DirectoryEntry& entry) {
    if (!IsTreeName(entry.Name)) return {};
    try {
        const Tree tree = DecodeTree(ReadEntryContents(source, entry));
        return "tree: " + std::to_string(tree.FileCount()) + " files, " +
               std::to_string(tree.ContentSize()) + " bytes";
    } catch (const KaveloError& e) {
        return "damaged tree: " + e.Reason();
    }
}

std::string TreeListing(const Tree& tree) {
    std::string out;
    char head[32];
    for (const TreeEntry& e : tree.Entries) {
        static constexpr char kLetters[] = {'-', 'x', 'd', 'l'};
        std::snprintf(head, sizeof head, "%c %12zu  ", kLetters[static_cast<int>(e.Kind)],
                      e.Kind == TreeKind::Link ? size_t{0} : e.Data.size());
        out += head + PrintableText(e.Name);
        if (e.Kind == TreeKind::Folder) out += "/";
        if (e.Kind == TreeKind::Link) out += " -> " + PrintableText(e.Data);
        out += "\n";
    }
    return out + std::to_string(tree.FileCount()) + " files, " +
           std::to_string(tree.ContentSize()) + " bytes, in \"" + PrintableText(tree.RootName) +
           "\"\n";
}
