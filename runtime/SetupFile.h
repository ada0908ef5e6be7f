// Reading a setup's package from outside the editor: the entries of a setup
// file and safe extraction of them into a folder. Shared by the setup runtime
// and the kavelo tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package/BinaryFile.h"

struct SetupEntry {
    std::string Name;    // as stored, with backslashes
    std::string Record;  // its DirectoryRecord
    uint8_t Flags = 0;
    int64_t Offset = 0;
    int64_t StoredSize = 0;
    int64_t UncompressedSize = 0;
};

// The entries of the package in file; nullopt when the file carries none.
// Throws for a damaged package.
std::optional<std::vector<SetupEntry>> ReadSetupEntries(const BinaryFile& file);

// The contents of one entry, decompressed.
std::string ReadSetupEntryContents(const BinaryFile& file, const SetupEntry& entry);

// The place of an entry below a folder: backslashes become folders, empty and
// "." parts are dropped, a leading drive or separator is ignored. nullopt for
// a name that would leave the folder (a ".." part) or names nothing.
std::optional<std::filesystem::path> SafeRelativePath(const std::string& name);

// Writes contents to dir / relative, creating the folders between. Refuses
// (false, with why) to write through a symbolic link or outside dir.
bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                const std::string& contents, std::string& why);

// The value of the setup text's line (0..6) with "|" turned into line breaks.
std::string SetupLineText(const std::string& setupText, int index);
