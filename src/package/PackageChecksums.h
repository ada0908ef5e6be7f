// The package's checksums: a SHA-256 of the header, directory and names, and
// one of each entry's data block, kept in a block of their own between the
// last data block and the trailer, where readers that do not know it find
// only bytes that belong to no entry. Written by every package write; a
// package written before checksums has none and reads as before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"

// The checksum block of the package at P whose directory is entries;
// nullopt when the package carries none. Throws DamagedInput when the block
// is there but does not hold together or does not fit this package.
std::optional<ChecksumBlock> ReadChecksumBlock(const ByteSource& source, int64_t P,
                                               const std::vector<DirectoryEntry>& entries);

// What a check of every checksum found.
struct ChecksumCheck {
    bool Present = false;           // the package carries checksums
    bool DirectoryMatches = true;   // header, directory and names
    std::vector<size_t> Mismatched; // entries whose data differs, in order
    bool Passed() const { return Present && DirectoryMatches && Mismatched.empty(); }
};

// Compares every part of the package at P with its checksum, reading each
// data block once.
ChecksumCheck CheckPackageChecksums(const ByteSource& source, int64_t P,
                                    const std::vector<DirectoryEntry>& entries);

// Throws DamagedInput naming the directory or the first entry whose bytes
// differ from their checksum; false when the package carries no checksums.
bool VerifyPackageChecksums(const ByteSource& source, int64_t P,
                            const std::vector<DirectoryEntry>& entries);

// For readers that read every entry anyway: throws DamagedInput when the
// header, directory and names of the package at P differ from block's
// digest, or when stored (entry k's data block, as read) differs from its own.
void VerifyDirectoryChecksum(const ByteSource& source, int64_t P, const ChecksumBlock& block);
void VerifyEntryChecksum(const ByteSource& source, const ChecksumBlock& block, size_t k,
                         const DirectoryEntry& entry, std::string_view stored);

// The SHA-256 (32 bytes) of length bytes of source at offset, read in pieces.
std::string DigestOfRange(const ByteSource& source, int64_t offset, int64_t length);
