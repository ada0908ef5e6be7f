#include "package/SetupEntries.h"

#include "common/AsciiCase.h"
#include "common/Split.h"

const DirectoryEntry* FindEntry(const std::vector<DirectoryEntry>& entries,
                                std::string_view lowerName) {
    for (const DirectoryEntry& e : entries)
        if (LowerAscii(e.Name) == lowerName) return &e;
    return nullptr;
}

bool IsUnsafeEntryName(std::string_view name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    if (name.back() == '\\' || name.back() == '/') return true;
    for (const std::string_view part : SplitAt(name, "\\/"))
        if (part == "..") return true;
    return name.find('\0') != std::string_view::npos;
}

std::string SetupLineText(std::string_view setupText, int index) {
    std::string line;
    int current = 0;
    for (size_t i = 0; i < setupText.size(); ++i) {
        if (setupText.compare(i, 2, "\r\n") == 0) {
            ++current;
            ++i;
            continue;
        }
        if (current == index) line += setupText[i] == '|' ? '\n' : setupText[i];
    }
    return line;
}
