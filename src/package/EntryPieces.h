// An entry's contents decoded in pieces wherever its stored bytes lie (in a
// setup file, or in a record held in memory), and decoded only as far as a
// caller needs: the first bytes of a large tree tell its header without the
// rest being read or decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageRecords.h"

// Reads count stored bytes from their offset at.
using StoredRead = std::function<void(uint64_t at, char* data, size_t count)>;

// How an entry is stored and where its stored bytes are read from.
struct StoredContents {
    uint8_t Flags = 0;
    uint32_t StoredSize = 0;
    uint32_t Size = 0; // uncompressed
    std::string Name;  // the entry's, given with a zstd frame's errors
    StoredRead Read;
};

// The stored bytes of entry in source, after checking that they lie inside
// it (DamagedInput otherwise).
StoredContents StoredInSource(const ByteSource& source, const DirectoryEntry& entry);
// The stored bytes of record, held in memory by the record, which must
// outlive the result.
StoredContents StoredInRecord(const EntryRecord& record, const std::string& name);

// Hands the contents to out in order, in pieces of at most 1 MB, in a few
// megabytes of memory whatever the size or codec: all of them (a zstd frame
// must then end with exactly Size bytes), or only the first limit bytes.
// Throws DamagedInput for a damaged stream, after the pieces before it.
void DecodeInPieces(const StoredContents& stored, const ContentPieces& out,
                    uint64_t limit = UINT64_MAX);

// The first count bytes of the contents, fewer when they are shorter.
std::string DecodePrefix(const StoredContents& stored, size_t count);
