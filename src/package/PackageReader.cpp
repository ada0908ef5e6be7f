#include "package/PackageReader.h"

#include <algorithm>
#include <unordered_set>

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/Errors.h"
#include "huffman/Huffman.h"
#include "package/EntryPieces.h"
#include "zstd/ZstdDecompress.h"

namespace {

// The end of the area a package's header, directory, names and data may use:
// everything before the trailer.
int64_t PackageAreaEnd(const ByteSource& source) {
    return source.Length() - kTrailerSize;
}

void CheckStoredRange(const ByteSource& source, const DirectoryEntry& entry) {
    if (entry.Offset < 0 || entry.Offset + entry.StoredSize > PackageAreaEnd(source))
        throw DamagedInput("the data of an entry lies past the end of the file", source.Name());
}

void CheckDataBlock(const ByteSource& source, const DirectoryEntry& e, size_t k) {
    if (e.Offset + e.StoredSize > PackageAreaEnd(source) || e.Offset > kMaxPackageNumber)
        throw DamagedInput("the data of entry " + std::to_string(k) +
                               " lies past the end of the file",
                           source.Name());
}

// Names are compared without regard to case, so two entries of one name
// would be one file to whoever looks it up, and which one is found would
// depend on who looks.
void CheckNamesDiffer(const ByteSource& source, const std::vector<DirectoryEntry>& entries) {
    std::unordered_set<std::string> seen;
    seen.reserve(entries.size());
    for (const DirectoryEntry& e : entries)
        if (!seen.insert(LowerAscii(e.Name)).second)
            throw DamagedInput("the package holds two entries named \"" + e.Name + "\"",
                               source.Name());
}

} // namespace

int64_t FindPackage(const ByteSource& source) {
    const int64_t length = source.Length();
    if (length < kMinPackageFileSize) return -1;
    const std::string trailer = source.ReadAt(length - kTrailerSize, kTrailerSize);
    if (trailer.compare(0, kTrailerHead.size(), kTrailerHead) != 0 ||
        trailer.compare(kTrailerTailAt, kTrailerTail.size(), kTrailerTail) != 0)
        return -1;
    const int64_t P = CharsToLong(trailer, kTrailerOffsetAt);
    // Only the magic at P is checked; fewer than 4 bytes there is no package.
    // A header that runs into the trailer is refused later by ReadDirectory.
    if (P + static_cast<int64_t>(kPackageMagic.size()) > length) return -1;
    if (source.ReadAt(P, kPackageMagic.size()) != kPackageMagic) return -1;
    return P;
}

uint32_t GetEntryCount(const ByteSource& source, int64_t P) {
    if (P == -1) return 0;
    return CharsToLong(source.ReadAt(P + kHeaderCountAt, 4), 0);
}

PackageHeader ReadPackageHeader(const ByteSource& source, int64_t P) {
    if (P < 0 || P + kHeaderSize > PackageAreaEnd(source))
        throw DamagedInput("the package header at " + std::to_string(P) + " runs into the trailer",
                           source.Name());
    return DecodePackageHeader(source.ReadAt(P, kHeaderSize));
}

std::vector<DirectoryEntry> ReadDirectoryEntries(const ByteSource& source, int64_t P,
                                                 const PackageHeader& header) {
    // Checked before anything is allocated, so a count of 0xFFFFFFFF fails here.
    const int64_t directoryAt = P + kHeaderSize;
    const int64_t namesAt = directoryAt + kRecordSize * int64_t{header.Count};
    const int64_t dataAt = namesAt + header.NamesLength;
    if (dataAt > PackageAreaEnd(source))
        throw DamagedInput("the package's directory (" + std::to_string(header.Count) +
                               " entries, " + std::to_string(header.NamesLength) +
                               " bytes of names) runs past the end of the file",
                           source.Name());
    const std::string directory =
        source.ReadAt(directoryAt, static_cast<size_t>(kRecordSize * int64_t{header.Count}));
    const std::string names = source.ReadAt(namesAt, header.NamesLength);
    try {
        return DecodeDirectory(directory, names, dataAt);
    } catch (const DamagedInput& e) {
        throw DamagedInput(e.Reason(), source.Name());
    }
}

std::vector<DirectoryEntry> ReadDirectory(const ByteSource& source, int64_t P,
                                          uint32_t maxEntries) {
    const PackageHeader header = ReadPackageHeader(source, P);
    if (header.Count > maxEntries)
        throw DamagedInput("the package holds " + std::to_string(header.Count) +
                               " entries, more than the " + std::to_string(maxEntries) +
                               " a setup can have",
                           source.Name());
    std::vector<DirectoryEntry> entries = ReadDirectoryEntries(source, P, header);
    for (size_t k = 0; k < entries.size(); ++k)
        CheckDataBlock(source, entries[k], k);
    CheckNamesDiffer(source, entries);
    return entries;
}

std::optional<std::vector<DirectoryEntry>> ReadPackageDirectory(const ByteSource& source) {
    const int64_t P = FindPackage(source);
    if (P < 0) return std::nullopt;
    return ReadDirectory(source, P);
}

EntryRecord ReadEntry(const ByteSource& source, const DirectoryEntry& entry) {
    CheckStoredRange(source, entry);
    EntryRecord record;
    record.Flags = entry.Flags;
    record.StoredSize = entry.StoredSize;
    record.Size = entry.Size;
    record.Stored = source.ReadAt(entry.Offset, entry.StoredSize);
    return record;
}

std::string ExtractEntry(const EntryRecord& record, const std::string& name) {
    if (record.Zstd()) return DecompressZstd(record.Stored, record.Size, name);
    return record.Compressed() ? DecompressHuffman(record.Stored) : record.Stored;
}

std::string ReadEntryContents(const ByteSource& source, const DirectoryEntry& entry) {
    EntryRecord record = ReadEntry(source, entry);
    if (!record.Compressed()) return std::move(record.Stored);
    return ExtractEntry(record, entry.Name);
}

void ExtractEntryInPieces(const ByteSource& source, const DirectoryEntry& entry,
                          const ContentPieces& out) {
    CheckStoredRange(source, entry);
    DecodeInPieces(StoredInSource(source, entry), out);
}
