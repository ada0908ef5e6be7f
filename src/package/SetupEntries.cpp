#include "package/SetupEntries.h"

#include "common/AsciiCase.h"

const DirectoryEntry* FindEntry(const std::vector<DirectoryEntry>& entries,
                                std::string_view lowerName) {
    for (const DirectoryEntry& e : entries)
        if (LowerAscii(e.Name) == lowerName) return &e;
    return nullptr;
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
