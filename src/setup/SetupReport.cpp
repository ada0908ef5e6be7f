#include "setup/SetupReport.h"

#include <algorithm>
#include <cstdio>

#include "install/DisplayText.h"
#include "common/AsciiCase.h"
#include "common/TextLines.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"

namespace {

// One "key value" line of the info.
std::string InfoLine(const char* key, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "%-17s ", key);
    return head + value + "\n";
}

uint64_t ContentSize(const ByteSource& source, const std::vector<DirectoryEntry>& entries,
                     std::string_view name) {
    const DirectoryEntry* e = FindEntry(entries, name);
    return e ? ReadEntryContents(source, *e).size() : 0;
}

} // namespace

SetupSummary SummarizePackage(const ByteSource& source, int64_t P,
                              const std::vector<DirectoryEntry>& entries) {
    SetupSummary s;
    s.RuntimeSize = P;
    if (const DirectoryEntry* e = FindEntry(entries, kSetupLinesName)) {
        const std::string setupText = ReadEntryContents(source, *e);
        SplitLines(s.Lines, setupText, "\r\n");
        s.Codec = SetupTextCodec(setupText);
    }
    s.PictureSize = ContentSize(source, entries, kSetupPictureName);
    s.ScriptSize = ContentSize(source, entries, kSetupScriptName);
    s.StringsSize = ContentSize(source, entries, kSetupStringsName);
    for (const DirectoryEntry& e : entries)
        if (!LowerAscii(e.Name).starts_with(kSetupFolderPrefix)) ++s.FileCount;
    return s;
}

std::string InfoText(const SetupSummary& s) {
    std::string out;
    for (size_t i = 0; i < s.Lines.size(); ++i)
        out += InfoLine(kSetupLineKeys[i], PrintableText(s.Lines[i]));
    out += InfoLine("picture", std::to_string(s.PictureSize) + " bytes");
    out += InfoLine("script", std::to_string(s.ScriptSize) + " bytes");
    out += InfoLine("strings", std::to_string(s.StringsSize) + " bytes");
    out += InfoLine("files", std::to_string(s.FileCount));
    out += InfoLine("runtime", std::to_string(s.RuntimeSize) + " bytes");
    out += InfoLine("compression", std::string(CodecName(s.Codec)));
    return out;
}

std::string ListText(const std::vector<DirectoryEntry>& entries, int64_t P,
                     const std::vector<std::string>& notes) {
    // The name column is as wide as the longest name, which goes in whole.
    std::vector<std::string> names;
    size_t width = 4;
    for (const DirectoryEntry& e : entries) {
        names.push_back(PrintableText(e.Name));
        width = std::max(width, names.back().size());
    }
    const auto padded = [width](const std::string& name) {
        return name + std::string(width - name.size(), ' ');
    };
    char line[128];
    std::snprintf(line, sizeof line, "  %5s  %12s  %12s  %12s  %s\n", "flags", "stored",
                  "uncompressed", "offset", "form");
    std::string out = "index  " + padded("name") + line;
    long long stored = 0;
    long long size = 0;
    for (size_t k = 0; k < entries.size(); ++k) {
        const DirectoryEntry& e = entries[k];
        stored += e.StoredSize;
        size += e.Size;
        std::snprintf(line, sizeof line, "%5zu  ", k);
        out += line + padded(names[k]);
        std::snprintf(line, sizeof line, "  %5.2X  %12u  %12u  %12u  %s",
                      static_cast<unsigned>(e.Flags), e.StoredSize, e.Size,
                      static_cast<uint32_t>(e.Offset), StoredForm(e.Flags).data());
        out += line;
        if (k < notes.size() && !notes[k].empty()) out += "  " + notes[k];
        out += "\n";
    }
    std::snprintf(line, sizeof line,
                  "%zu entries, %lld bytes stored, %lld bytes uncompressed, package at offset "
                  "%lld\n",
                  entries.size(), stored, size, static_cast<long long>(P));
    return out + line;
}
