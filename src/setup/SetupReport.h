// What a setup carries, told the same way by the setup itself (--info,
// --list) and by kavelo (info, list): the setup lines under the keys that
// "kavelo set" takes, the sizes of the setup's texts, and the package
// directory. Names and lines are shown with control characters escaped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "package/ByteSource.h"
#include "package/EntryCodec.h"
#include "package/PackageRecords.h"

// The keys of the seven setup lines, in their order in setup\setup.txt.
inline constexpr std::array<const char*, 7> kSetupLineKeys = {
    "caption",          "start-text",  "license",    "install-folder",
    "startmenu-folder", "finish-text", "launch-text"};

struct SetupSummary {
    std::array<std::string, 7> Lines; // as stored: "|" for a line break
    uint64_t PictureSize = 0;
    uint64_t ScriptSize = 0;
    uint64_t StringsSize = 0;
    int64_t FileCount = 0;   // entries that are not setup files
    int64_t RuntimeSize = 0; // the bytes before the package: the setup runtime
    EntryCodec Codec = EntryCodec::Huffman; // what the project compresses with
};

// The summary of the package at P whose directory is entries, the setup files
// read from source. Throws DamagedInput for a damaged entry.
SetupSummary SummarizePackage(const ByteSource& source, int64_t P,
                              const std::vector<DirectoryEntry>& entries);

// One "key value" line for each line, size, the file count, the runtime's
// size and the project's compression.
std::string InfoText(const SetupSummary& summary);
// The same as one JSON object: {"caption": "...", ..., "files": 2}.
std::string InfoJson(const SetupSummary& summary);

// The package directory as a table (index, name, flags, sizes, offset, form)
// with a line of totals. notes, when given, holds a text for each entry that
// follows its line (a tree's file count and size), or an empty one.
std::string ListText(const std::vector<DirectoryEntry>& entries, int64_t P,
                     const std::vector<std::string>& notes = {});
// The same as JSON: {"package": P, "entries": [...]}.
std::string ListJson(const std::vector<DirectoryEntry>& entries, int64_t P);
