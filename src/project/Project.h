// The setup project: everything a setup carries, as the editor, saving and
// opening see it. One SetupProject holds the files the user added, the side
// picture, the seven setup lines, the numbered texts and the script.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "package/BinaryFile.h"
#include "package/PackageRecords.h"
#include "package/SetupEntries.h"
#include "project/ScratchFile.h"

inline constexpr int kMaxFiles = 512; // files a project holds

// A user's file that is read when the next save packs it, with its size and
// modification time when it was added: a file changed since is refused
// then rather than packed as it is now.
struct FileOnDisk {
    std::string Path;
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    // Set when the file is one the project wrote for itself (a large tree,
    // a file unpacked for another codec): it lives while this refers to it.
    std::shared_ptr<const ScratchFile> Scratch;
    bool operator==(const FileOnDisk&) const = default;
};

// One user file: its contents as the user gave them or the file that holds
// them (packed by the next save), or its EntryRecord, packed once and reused
// by every later save.
struct ProjectFile {
    ProjectFile(std::string name = {}, std::variant<std::string, EntryRecord, FileOnDisk> data = {},
                std::string digest = {})
        : Name(std::move(name)), Data(std::move(data)), Digest(std::move(digest)) {}

    std::string Name; // lower case, no folder
    std::variant<std::string, EntryRecord, FileOnDisk> Data;

    // The SHA-256 of the stored bytes as the setup's checksums name it, for
    // a file still lying in the setup; empty when the setup has none.
    std::string Digest;

    bool Packed() const { return std::holds_alternative<EntryRecord>(Data); }
    // Packed, with its stored bytes still in the setup file (SetupProject::
    // Source) at the record's SourceOffset, not in memory.
    bool InSetupFile() const { return Packed() && Record().SourceOffset != 0; }
    const EntryRecord& Record() const { return std::get<EntryRecord>(Data); }
    const std::string& Raw() const { return std::get<std::string>(Data); }
    bool OnDisk() const { return std::holds_alternative<FileOnDisk>(Data); }
    const FileOnDisk& Disk() const { return std::get<FileOnDisk>(Data); }
    // The contents' length, when not packed.
    uint64_t UnpackedSize() const { return OnDisk() ? Disk().Size : Raw().size(); }
};

// The setup file that packed files still lying in it are read from: the file
// last opened or saved, held open, so that a save renaming a new setup over
// it leaves those bytes readable; with its length and modification time then,
// so that a file written in place since by another program is refused
// rather than read.
struct StoredIn {
    std::shared_ptr<const BinaryFile> File;
    int64_t Length = 0;
    int64_t ModifiedNs = 0;

    // file as it is now; throws IoError when it cannot be seen.
    static StoredIn Of(std::shared_ptr<const BinaryFile> file);
    // Throws KaveloError naming the file unless it is as it was.
    void CheckUnchanged() const;
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
    // Where the files that are InSetupFile lie.
    StoredIn Source;

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
    // Chooses the codec the next save packs with. Files stored with the
    // other codec stay as they are, which every reader reads, until that
    // save unpacks them (UnpackOtherCodec) on its worker.
    void ChangeCodec(EntryCodec codec) { Codec = codec; }
    // Unpacks every packed file compressed with the codec not chosen (a large
    // one into a scratch file), so that it is packed with the chosen one.
    // Throws KaveloError naming the file when one cannot be read (the setup
    // changed since it was read, no room for a scratch file).
    void UnpackOtherCodec();
    // The record of file with its stored bytes in memory, read from Source
    // when they lie there. Throws KaveloError when Source has changed since,
    // IoError or DamagedInput when it cannot be read.
    EntryRecord LoadedRecord(const ProjectFile& file) const;
    // Throws KaveloError unless Source is as it was when it was read, when
    // any file still lies in it.
    void CheckSource() const;
    // Whether any file still lies in Source.
    bool ReadsFromSource() const;
};
