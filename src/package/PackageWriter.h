// The package writer: EntryRecords from file contents, an empty package
// appended to a file, and a package rewritten with a list of items (merged
// with the entries already there when asked).
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "common/Progress.h"
#include "package/EntryCodec.h"
#include "package/BinaryFile.h"
#include "package/PackageFormat.h"
#include "package/PackageRecords.h"

// Where the compressor reports while it packs: the value shown is
// (Base + the part of Span done) / Scale; nothing is shown when Scale is 0.
struct ProgressReport {
    ProgressSink* Sink = nullptr;
    int32_t Base = 0;
    int32_t Scale = 0;
    int32_t Span = 0;
};

// contents as an EntryRecord. With compress set the compressed stream is kept
// when it is strictly shorter than length * thresholdPercent / 100; a stream
// is never kept for contents it cannot bring back (an empty stream for
// non-empty contents), so a 1-byte file is stored raw.
// codec says how it is compressed.
EntryRecord MakeEntry(std::string_view contents, bool compress, int32_t thresholdPercent,
                      const ProgressReport& progress = {}, EntryCodec codec = EntryCodec::Huffman);

// contents as an EntryRecord compressed with codec, or stored raw when that
// does not make it smaller.
EntryRecord CompressEntry(std::string_view contents, EntryCodec codec);

// The 16 bytes "qkpA" and 12 zero bytes.
std::string EmptyPackageHeader();

// Makes sure file carries a package and returns its offset P: appends an empty
// package (26 bytes) when it has none. Returns -1 when it already carries a
// package with entries and allowNonEmpty is false.
int64_t PreparePackage(BinaryFile& file, bool allowNonEmpty);

// One item of a write: its name in the package and where its bytes come from.
struct PackageItem {
    // The contents of a file, stored raw or compressed by the write.
    struct FromFile {
        std::string Path;
    };
    // Contents held by the caller for the whole write.
    struct Inline {
        std::string_view Bytes;
    };
    // A file already in stored form, held by the caller for the whole write.
    // When the record's SourceOffset is not 0 its stored bytes lie at that
    // offset of From, or when that is null of the file at SourcePath; they
    // are copied as they are, and when Digest is given (their SHA-256) bytes
    // that differ from it end the write with DamagedInput.
    struct Packed {
        Packed(const EntryRecord* record = nullptr, std::string sourcePath = {},
               const ByteSource* from = nullptr, std::string digest = {})
            : Record(record), SourcePath(std::move(sourcePath)), From(from),
              Digest(std::move(digest)) {}
        const EntryRecord* Record = nullptr;
        std::string SourcePath;
        const ByteSource* From = nullptr;
        std::string Digest;
    };

    std::string Name;
    std::variant<FromFile, Inline, Packed> Source;
};

struct WriteOptions {
    NameConflictPolicy Policy = ConflictIgnore;
    // Old entries (by index) that the write drops (policies 1-4).
    std::set<uint32_t> Delete;
    // Items that are not Packed are compressed, and kept so when the stream is
    // strictly shorter than size * RawThresholdPercent / 100.
    bool CompressRawItems = false;
    int32_t RawThresholdPercent = 100;
    EntryCodec Codec = EntryCodec::Huffman; // what those items are compressed with
    // Threads that compress those items while the write goes on in order;
    // 0 compresses them whole on the calling thread, as the items come.
    int Workers = 0;
    // With Workers: told, on the calling thread, the name of each item being
    // compressed and how many of its bytes have been read, after each piece.
    std::function<void(const std::string& name, int64_t taken)> Packing;
    // An item whose source file is missing or a folder ends the call before
    // anything is written (result -1); otherwise it is left out.
    bool AbortOnUnreadableItem = false;
    // When false, bytes between the new data and the old trailer are zeroed.
    bool KeepTail = true;
    // Where the new package goes: nullptr = the package's own file, and -1 = P.
    // Old entries kept by the merge are copied there.
    BinaryFile* Destination = nullptr;
    int64_t DestinationOffset = -1;
};

// Rewrites the package at P of file with items. Policy 1 ends the call before
// anything is written (result -1); policy 4 throws NameConflict. Returns the
// entry count of the new package, or -1 when it ended without writing. File
// errors, the compressor's errors and DamagedInput for a damaged old package
// go to the caller, possibly with the package left empty.
int32_t WritePackage(BinaryFile& file, int64_t P, std::span<const PackageItem> items,
                     const WriteOptions& options = {});
