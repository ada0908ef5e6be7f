// The setup project: everything a setup carries, as the editor, saving and
// opening see it. One SetupProject holds the files the user added, the side
// picture, the seven setup lines, the numbered texts and the script.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "package/PackageRecords.h"
#include "package/SetupEntries.h"

inline constexpr int kMaxFiles = 512; // files a project holds

// One user file: its contents as the user gave them (packed by the next
// save) or its EntryRecord, packed once and reused by every later save.
struct ProjectFile {
    std::string Name; // lower case, no folder
    std::variant<std::string, EntryRecord> Data;

    bool Packed() const { return std::holds_alternative<EntryRecord>(Data); }
    const EntryRecord& Record() const { return std::get<EntryRecord>(Data); }
    const std::string& Raw() const { return std::get<std::string>(Data); }
};

struct SetupProject {
    std::string ProjectPath;
    std::vector<ProjectFile> Files;
    std::string Picture;                      // the side picture as a complete .bmp file
    std::optional<EntryRecord> PicturePacked; // its EntryRecord once packed
    std::string StringsText;
    std::array<std::string, kSetupLineCount> SetupLines;
    std::string ScriptText;
    // What the next save compresses with; remembered in setup\setup.txt.
    EntryCodec Codec = EntryCodec::Huffman;

    int32_t FileCount() const { return static_cast<int32_t>(Files.size()); }
    // Index of the file whose Name equals name exactly, or -1.
    int32_t FindFile(std::string_view name) const;
    // Appends a file; false (and nothing changed) when the project already
    // holds kMaxFiles files.
    bool AddFile(ProjectFile file);
    // Removes file k; the later files move down one place.
    void RemoveFile(int32_t k);
    // The seven setup lines joined with CR LF, no line break after the last,
    // and the codec's line when it is not Huffman.
    std::string JoinedSetupLines() const;
    // Sets the codec; packed files stored with the other codec are unpacked,
    // so that the next save packs them with this one.
    void ChangeCodec(EntryCodec codec);
};
