// The package writer: EntryRecords from file contents, an empty package
// appended to a file, and a package rewritten with a list of items (merged
// with the entries already there when asked).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/Progress.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "package/PackageFormat.h"

// contents as an EntryRecord: flags, four zero bytes, stored size,
// uncompressed size, stored bytes. With compress set the compressed stream is
// kept when it is strictly shorter than length * thresholdPercent / 100;
// a stream is never kept for contents it cannot bring back (an empty stream
// for non-empty contents), so a 1-byte file is stored raw. The progress
// arguments are handed to the compressor.
std::string MakeEntry(const std::string& contents, bool compress, int32_t thresholdPercent,
                      ProgressSink* progress = nullptr, int32_t progressBase = 0,
                      int32_t progressScale = 0, int32_t progressSpan = 0);

// The 16 bytes "qkpA" and 12 zero bytes.
std::string EmptyPackageHeader();

// Makes sure file carries a package and returns its offset P: appends an empty
// package (26 bytes) when it has none. Returns -1 when it already carries a
// package with entries and allowNonEmpty is false.
int64_t PreparePackage(BinaryFile& file, bool allowNonEmpty);

// The entry count of the package at P (0 when P is -1).
int32_t GetEntryCount(const BinaryFile& file, int64_t P);

// Rewrites the package at P of file with itemCount items. items holds one
// PackageItem per item in elements 3k (source: empty, a file path, or inline
// data after a leading '\0'), 3k+1 (name) and 3k+2 (EntryRecord or empty; it
// wins over the source; a non-zero offset field means the stored bytes lie at
// that offset of the source file).
//
// deleteMask: character k of it with code 1 drops old entry k (policies 1-4).
// compressRawItems / rawThresholdPercent: items without an EntryRecord are
// compressed and kept so when the stream is strictly shorter than
// size * rawThresholdPercent / 100.
// abortOnUnreadableItem: an item whose source file is missing or a directory
// ends the call before anything is written (result -1); otherwise the item is
// dropped and the others are written.
// policy: a NameConflictPolicy. Policy 1 ends the call before anything is
// written (result -1); policy 4 throws PackageNameConflict.
// keepTail: when false, bytes between the new data and the old trailer are
// zero-filled.
// destination (nullptr = file) and destinationOffset (-1 = P): where the new
// package is written; old entries kept by the merge are copied there.
// Returns the entry count of the new package, or -1 when it ended without
// writing. File errors, the compressor's errors and PackageError go to the
// caller, possibly with the package left empty.
int32_t WritePackage(BinaryFile& file, int64_t P, std::span<const std::string> items,
                     int32_t itemCount, const std::string& deleteMask, bool compressRawItems,
                     bool abortOnUnreadableItem, int32_t policy, bool keepTail,
                     BinaryFile* destination = nullptr, int64_t destinationOffset = -1,
                     int32_t rawThresholdPercent = 100);
