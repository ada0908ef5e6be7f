#include "TreeReport.h"

#include <algorithm>
#include <cstdio>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageReader.h"
#include "package/StoredTree.h"

std::string TreeNote(const ByteSource& source, const DirectoryEntry& entry) {
    if (!IsTreeName(entry.Name)) return {};
    try {
        // The header alone: a large tree is neither read nor decoded.
        const TreeSummary tree = ReadTreeSummary(StoredInSource(source, entry));
        return "tree: " + std::to_string(tree.EntryCount) + " entries, " +
               std::to_string(tree.DataSize) + " bytes";
    } catch (const KaveloError& e) {
        return "damaged tree: " + e.Reason();
    }
}

void TreeListing::Begin(const TreeEntry& e, uint32_t size) {
    static constexpr char kLetters[] = {'-', 'x', 'd', 'l'};
    const bool file = e.Kind == TreeKind::File || e.Kind == TreeKind::Program;
    std::string line(32, '\0');
    line.resize(
        static_cast<size_t>(std::snprintf(line.data(), line.size(), "%c %12u  ",
                                          kLetters[static_cast<int>(e.Kind)], file ? size : 0u)));
    line += PrintableText(e.Name);
    if (e.Kind == TreeKind::Folder) line += "/";
    if (e.Kind == TreeKind::Link) line += " -> " + PrintableText(e.Data);
    line += "\n";
    lines_.emplace_back(e.Name, std::move(line));
    if (e.Kind != TreeKind::Folder) ++files_;
    if (file) bytes_ += size;
}

void TreeListing::End(const std::string& rootName) {
    std::sort(lines_.begin(), lines_.end());
    for (const auto& [name, text] : lines_)
        std::fwrite(text.data(), 1, text.size(), out_);
    lines_ = {};
    const std::string line = std::to_string(files_) + " files, " + std::to_string(bytes_) +
                             " bytes, in \"" + PrintableText(rootName) + "\"\n";
    std::fwrite(line.data(), 1, line.size(), out_);
}
