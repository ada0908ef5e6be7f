// The package reader: finds the package at the end of a file (or of bytes in
// memory), reads its directory into DirectoryEntry values, fetches entries as
// EntryRecords and turns an EntryRecord back into the file's contents.
//
// Every count, length and offset is checked against the bytes that exist
// before anything is allocated or read. Errors: DamagedInput for a damaged
// package, record or stream (HuffmanError among them), IoError for a failing
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"

// The offset P of the package header, or -1 when the source carries no
// package: shorter than 26 bytes, last 10 bytes not "eof", P, "qkp", or no
// "qkpA" at P. Never throws for a short or garbage source.
int64_t FindPackage(const ByteSource& source);

// The entry count in the header at P (0 when P is -1).
uint32_t GetEntryCount(const ByteSource& source, int64_t P);

// The header at P; throws DamagedInput when it runs into the trailer.
PackageHeader ReadPackageHeader(const ByteSource& source, int64_t P);

// The directory as the header at P describes it, data offsets worked out, but
// the data blocks not checked: what both the reader and the writer's merge
// walk. Throws DamagedInput when the directory or the names run past the area
// before the trailer.
std::vector<DirectoryEntry> ReadDirectoryEntries(const ByteSource& source, int64_t P,
                                                 const PackageHeader& header);

// The directory of the package at P. Throws DamagedInput when the header,
// the directory, the names or any data block lies past the end of the
// package's area (data must end at or before the trailer), when the
// package holds more than maxEntries entries, or when two entries have one
// name (compared without regard to ASCII case).
std::vector<DirectoryEntry> ReadDirectory(const ByteSource& source, int64_t P,
                                          uint32_t maxEntries = UINT32_MAX);

// The directory of the package the source carries; nullopt when it carries
// none.
std::optional<std::vector<DirectoryEntry>> ReadPackageDirectory(const ByteSource& source);

// The entry that entry describes, its stored bytes read from the source.
// Throws DamagedInput when the data block lies past the end of the area.
EntryRecord ReadEntry(const ByteSource& source, const DirectoryEntry& entry);

// The file's contents held in record, decompressed when bit 0 of its flags is
// set: a Huffman stream (the record's size field is not compared with the
// result), or with bit 1 also set a zstd frame, which must give exactly the
// record's size. name, the entry's, goes with a zstd frame's errors.
std::string ExtractEntry(const EntryRecord& record, const std::string& name = {});

// ExtractEntry(ReadEntry(source, entry)).
std::string ReadEntryContents(const ByteSource& source, const DirectoryEntry& entry);

// Hands the contents of entry to out in order, in pieces of at most 1 MB,
// as they are read and decoded, in a few megabytes of memory whatever its
// size or codec. An error thrown by out ends the call. Throws DamagedInput
// for a damaged stream (after the pieces before the damage); the caller
// compares the total with the entry's size.
using ContentPieces = std::function<void(const char* data, size_t count)>;
void ExtractEntryInPieces(const ByteSource& source, const DirectoryEntry& entry,
                          const ContentPieces& out);
