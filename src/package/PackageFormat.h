// Every on-disk constant of the package container in one place: the magic
// strings, the header, record and trailer layouts, and the block size used to
// move and clear file data. Reader and writer take their numbers from here.
#pragma once

#include <cstdint>
#include <string_view>

// The header at P starts with this magic.
inline constexpr std::string_view kPackageMagic = "qkpA";
// The trailer (last 10 bytes of the file) is "eof", P as 4 bytes, "qkp".
inline constexpr std::string_view kTrailerHead = "eof";
inline constexpr std::string_view kTrailerTail = "qkp";

// Package header: magic, entry count, names length, data total.
inline constexpr int64_t kHeaderSize = 16;
inline constexpr int64_t kHeaderCountAt = 4;
inline constexpr int64_t kHeaderNamesLengthAt = 8;
inline constexpr int64_t kHeaderDataTotalAt = 12;

// A 13-byte record: flags, a 4-byte field (name length in the directory,
// data offset in a DirectoryRecord, 0 or a source offset in an EntryRecord),
// stored size, uncompressed size.
inline constexpr int64_t kRecordSize = 13;
inline constexpr int64_t kRecordFlagsAt = 0;
inline constexpr int64_t kRecordFieldAt = 1;
inline constexpr int64_t kRecordStoredSizeAt = 5;
inline constexpr int64_t kRecordUncompressedSizeAt = 9;
// Bit 0 of the flags byte: the stored bytes are a compressed stream.
inline constexpr uint8_t kFlagCompressed = 0x01;
// Bit 1, only together with bit 0: that stream is one zstd frame rather than a
// Huffman stream. A reader that knows only bit 0 then fails on the frame (its
// first bytes read as a table far longer than the entry) instead of taking it
// for the file's bytes.
inline constexpr uint8_t kFlagZstd = 0x02;

// Trailer: "eof" at 0, P at 3, "qkp" at 7.
inline constexpr int64_t kTrailerSize = 10;
inline constexpr int64_t kTrailerOffsetAt = 3;
inline constexpr int64_t kTrailerTailAt = 7;

// The checksum block, which writers put between the last data block and the
// trailer, where readers of the earlier format find bytes of no entry:
// "qkpS", C, the SHA-256 of the header, directory and names, C SHA-256 of the
// data blocks in directory order, the block's length, "qkpS".
inline constexpr std::string_view kChecksumMagic = "qkpS";
inline constexpr int64_t kDigestSize = 32;
inline constexpr int64_t kChecksumFixedSize = 4 + 4 + kDigestSize + 4 + 4; // 48
inline constexpr int64_t kChecksumTailSize = 8;                            // length, magic

// The smallest file that can carry a package: an empty header and the trailer.
inline constexpr int64_t kMinPackageFileSize = kHeaderSize + kTrailerSize; // 26

// Every offset and size in a package is an unsigned 32-bit number.
inline constexpr int64_t kMaxPackageNumber = 0xFFFFFFFFLL;

// Data is moved and cleared through a buffer of at most this many bytes.
inline constexpr int64_t kMoveBlockSize = 4194048; // 0x3FFF00

// Limits of WritePackage's working data.
inline constexpr int32_t kMaxWriteItems = 65536;
inline constexpr int32_t kMaxKeptRuns = 32768;

// Name conflict policies of WritePackage.
enum NameConflictPolicy : int32_t {
    ConflictIgnore = 0,     // old entries are not examined (empty packages only)
    ConflictAbort = 1,      // end without writing anything
    ConflictReplaceOld = 2, // drop the old entry, the new item replaces it
    ConflictKeepOld = 3,    // drop the new item, the old entry stays
    ConflictRaiseError = 4, // throw NameConflict to the caller
};
