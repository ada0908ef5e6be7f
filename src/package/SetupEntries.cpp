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

std::string CodecLine(EntryCodec codec) {
    if (codec == EntryCodec::Huffman) return {};
    return "\r\n" + std::string(kCodecKey) + std::string(CodecName(codec));
}

EntryCodec SetupTextCodec(std::string_view setupText) {
    size_t at = 0;
    for (int line = 0; at != std::string_view::npos; ++line) {
        const size_t end = setupText.find("\r\n", at);
        const std::string_view text =
            setupText.substr(at, end == std::string_view::npos ? end : end - at);
        if (line >= kSetupLineCount && text.starts_with(kCodecKey))
            return CodecNamed(text.substr(kCodecKey.size())).value_or(EntryCodec::Huffman);
        at = end == std::string_view::npos ? end : end + 2;
    }
    return EntryCodec::Huffman;
}
