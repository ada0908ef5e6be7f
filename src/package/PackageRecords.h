// The package's records as typed values, and the one place that turns them
// into bytes and back: the 13-byte record header, the EntryRecord (a file in
// stored form), the package header, the directory with its names, and the
// trailer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageFormat.h"

// One file in stored form: flags, the 4-byte field, stored size, uncompressed
// size, and the stored bytes. The field is 0, or the offset in an item's
// source file at which the stored bytes lie (Stored is then empty).
struct EntryRecord {
    uint8_t Flags = 0;
    uint32_t SourceOffset = 0;
    uint32_t StoredSize = 0;
    uint32_t Size = 0; // uncompressed
    std::string Stored;

    bool Compressed() const { return (Flags & kFlagCompressed) != 0; }
    bool Zstd() const { return Compressed() && (Flags & kFlagZstd) != 0; }
    bool operator==(const EntryRecord&) const = default;
};

// One entry of a package's directory: its record with the absolute offset of
// its data block, and its name as stored (with backslashes).
struct DirectoryEntry {
    uint8_t Flags = 0;
    int64_t Offset = 0;
    uint32_t StoredSize = 0;
    uint32_t Size = 0; // uncompressed
    std::string Name;

    bool Compressed() const { return (Flags & kFlagCompressed) != 0; }
    bool Zstd() const { return Compressed() && (Flags & kFlagZstd) != 0; }
    bool operator==(const DirectoryEntry&) const = default;
};

// The 16-byte header at P.
struct PackageHeader {
    uint32_t Count = 0;
    uint32_t NamesLength = 0;
    uint32_t DataTotal = 0;
};

// The 13-byte record header: flags, field, stored size, uncompressed size.
std::string EncodeRecordHeader(uint8_t flags, uint32_t field, uint32_t stored, uint32_t size);

// An EntryRecord as bytes: its header followed by Stored.
std::string EncodeEntryRecord(const EntryRecord& record);
// The EntryRecord in bytes. Everything after the header is its stored bytes;
// the stored size field is kept as written. Throws DamagedInput for fewer
// than 13 bytes.
EntryRecord DecodeEntryRecord(std::string_view bytes);

std::string EncodePackageHeader(const PackageHeader& header);
// The header in 16 bytes; the magic is not checked here.
PackageHeader DecodePackageHeader(std::string_view bytes);

// The directory records of entries (the field holding the name length), and
// their names one after another.
std::string EncodeDirectory(const std::vector<DirectoryEntry>& entries);
std::string EncodeNames(const std::vector<DirectoryEntry>& entries);

// The records of a directory (count records of 13 bytes) with their names:
// data offsets run on from dataAt. Throws DamagedInput when the names run past
// namesLength.
std::vector<DirectoryEntry> DecodeDirectory(std::string_view directory, std::string_view names,
                                            int64_t dataAt);

// The 10-byte trailer: "eof", P, "qkp".
std::string EncodeTrailer(uint32_t P);

// The checksums of a package: SHA-256 digests (32 bytes each) of its header,
// directory and names, and of each entry's data block in directory order.
struct ChecksumBlock {
    std::string Directory;
    std::vector<std::string> Entries;
    bool operator==(const ChecksumBlock&) const = default;
};

// The block as it lies before the trailer: "qkpS", the entry count, the
// digests, the block's length, "qkpS".
std::string EncodeChecksumBlock(const ChecksumBlock& block);
// The block in bytes (all of them, nothing else). Throws DamagedInput when
// the magics, the count and the length do not agree with the bytes.
ChecksumBlock DecodeChecksumBlock(std::string_view bytes);
