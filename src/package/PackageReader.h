// The package reader: finds the package at the end of a file, reads its
// directory into DirectoryRecords, fetches entries as EntryRecords and turns
// an EntryRecord into the file's contents.
//
// Errors: FindPackage never throws for a short or garbage file (it gives -1);
// only an I/O failure of the file itself throws std::system_error. The other
// operations check every count, length and offset against the bytes that exist
// before allocating or reading and throw PackageError for a damaged package or
// record. std::system_error (file I/O), std::out_of_range (a short read, or a
// truncated compressed stream) and HuffmanError (a damaged stream) also reach
// the caller. All four derive from std::exception; nothing else is thrown
// except std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "package/BinaryFile.h"

// A package or record that does not hold together (counts or offsets past the
// end of the file, a record too short for its stored size, ...).
class PackageError : public std::runtime_error {
  public:
    explicit PackageError(const std::string& what) : std::runtime_error(what) {}
    // 0 for damage; PackageNameConflict gives 1.
    virtual int Number() const { return 0; }
};

// The writer's name-conflict error (policy 4): number 1.
class PackageNameConflict : public PackageError {
  public:
    explicit PackageNameConflict(const std::string& name)
        : PackageError("an entry named \"" + name + "\" already exists in the package") {}
    int Number() const override { return 1; }
};

// The offset P of the package header, or -1 when the file carries no package:
// shorter than 26 bytes, last 10 bytes not "eof", P, "qkp", or no "qkpA" at P.
int64_t FindPackage(const BinaryFile& file);

// Reads the directory of the package at P into records: record k (a
// DirectoryRecord: flags, absolute data offset, stored size, uncompressed
// size, name) replaces records[firstIndex + k * step]. Reads at most maxCount
// entries, adds each entry's uncompressed size to uncompressedTotal and
// returns the number of records stored; -1 (nothing changed) when P is -1.
// Throws PackageError, before anything is allocated or any record written,
// when the directory, the names or a data block lies past the end of the file
// (data must end at or before the trailer), or when a record would land
// outside records.
int32_t ReadDirectory(const BinaryFile& file, int64_t P, std::span<std::string> records,
                      int32_t maxCount, int64_t& uncompressedTotal, int step = 1,
                      int firstIndex = 0);

// The entry that directoryRecord describes, as an EntryRecord: flags, four
// zero bytes, stored size, uncompressed size, the stored bytes read from the
// file. Throws PackageError for a record shorter than 13 bytes or a data
// block that lies past the end of the file.
std::string ReadEntry(const BinaryFile& file, const std::string& directoryRecord);

// The file's contents held in entryRecord, decompressed when bit 0 of its flags
// is set; uncompressedSize gets the record's uncompressed size field (not
// compared with the contents). The stored bytes are everything after the
// 13-byte header. Throws PackageError for a record shorter than 13 bytes and
// passes on the decompressor's HuffmanError and std::out_of_range.
std::string ExtractEntry(const std::string& entryRecord, int64_t& uncompressedSize);
