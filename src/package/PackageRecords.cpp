#include "package/PackageRecords.h"

#include "common/BigEndian.h"
#include "common/Errors.h"

std::string EncodeRecordHeader(uint8_t flags, uint32_t field, uint32_t stored, uint32_t size) {
    std::string record(1, static_cast<char>(flags));
    record += LongToChars(field);
    record += LongToChars(stored);
    record += LongToChars(size);
    return record;
}

std::string EncodeEntryRecord(const EntryRecord& record) {
    std::string bytes =
        EncodeRecordHeader(record.Flags, record.SourceOffset, record.StoredSize, record.Size);
    bytes += record.Stored;
    return bytes;
}

EntryRecord DecodeEntryRecord(std::string_view bytes) {
    if (bytes.size() < static_cast<size_t>(kRecordSize))
        throw DamagedInput("an entry record is shorter than 13 bytes");
    EntryRecord record;
    record.Flags = static_cast<uint8_t>(bytes[kRecordFlagsAt]);
    record.SourceOffset = CharsToLong(bytes, kRecordFieldAt);
    record.StoredSize = CharsToLong(bytes, kRecordStoredSizeAt);
    record.Size = CharsToLong(bytes, kRecordUncompressedSizeAt);
    record.Stored = bytes.substr(kRecordSize);
    return record;
}

std::string EncodePackageHeader(const PackageHeader& header) {
    std::string bytes(kPackageMagic);
    bytes += LongToChars(header.Count);
    bytes += LongToChars(header.NamesLength);
    bytes += LongToChars(header.DataTotal);
    return bytes;
}

PackageHeader DecodePackageHeader(std::string_view bytes) {
    return {CharsToLong(bytes, kHeaderCountAt), CharsToLong(bytes, kHeaderNamesLengthAt),
            CharsToLong(bytes, kHeaderDataTotalAt)};
}

std::string EncodeDirectory(const std::vector<DirectoryEntry>& entries) {
    std::string bytes;
    bytes.reserve(entries.size() * kRecordSize);
    for (const DirectoryEntry& e : entries)
        bytes +=
            EncodeRecordHeader(e.Flags, static_cast<uint32_t>(e.Name.size()), e.StoredSize, e.Size);
    return bytes;
}

std::string EncodeNames(const std::vector<DirectoryEntry>& entries) {
    std::string bytes;
    for (const DirectoryEntry& e : entries)
        bytes += e.Name;
    return bytes;
}

std::vector<DirectoryEntry> DecodeDirectory(std::string_view directory, std::string_view names,
                                            int64_t dataAt) {
    const size_t count = directory.size() / kRecordSize;
    std::vector<DirectoryEntry> entries;
    entries.reserve(count);
    size_t nameAt = 0;
    for (size_t k = 0; k < count; ++k) {
        const size_t at = k * kRecordSize;
        const uint32_t nameLength = CharsToLong(directory, at + kRecordFieldAt);
        if (nameLength > names.size() - nameAt)
            throw DamagedInput("the names of the package's entries run past its names block");
        DirectoryEntry& e = entries.emplace_back();
        e.Flags = static_cast<uint8_t>(directory[at + kRecordFlagsAt]);
        e.Offset = dataAt;
        e.StoredSize = CharsToLong(directory, at + kRecordStoredSizeAt);
        e.Size = CharsToLong(directory, at + kRecordUncompressedSizeAt);
        e.Name = names.substr(nameAt, nameLength);
        nameAt += nameLength;
        dataAt += e.StoredSize;
    }
    return entries;
}

std::string EncodeTrailer(uint32_t P) {
    std::string bytes(kTrailerHead);
    bytes += LongToChars(P);
    bytes += kTrailerTail;
    return bytes;
}

std::string EncodeChecksumBlock(const ChecksumBlock& block) {
    const int64_t length =
        kChecksumFixedSize + kDigestSize * static_cast<int64_t>(block.Entries.size());
    std::string bytes(kChecksumMagic);
    bytes.reserve(static_cast<size_t>(length));
    bytes += LongToChars(static_cast<uint32_t>(block.Entries.size()));
    bytes += block.Directory;
    for (const std::string& digest : block.Entries)
        bytes += digest;
    bytes += LongToChars(static_cast<uint32_t>(length));
    bytes += kChecksumMagic;
    return bytes;
}

ChecksumBlock DecodeChecksumBlock(std::string_view bytes) {
    const auto damaged = [](const std::string& why) {
        return DamagedInput("the checksum block " + why);
    };
    if (bytes.size() < static_cast<size_t>(kChecksumFixedSize))
        throw damaged("is shorter than " + std::to_string(kChecksumFixedSize) + " bytes");
    if (bytes.substr(0, kChecksumMagic.size()) != kChecksumMagic ||
        bytes.substr(bytes.size() - kChecksumMagic.size()) != kChecksumMagic)
        throw damaged("does not begin and end with \"" + std::string(kChecksumMagic) + "\"");
    const uint64_t count = CharsToLong(bytes, 4);
    const uint64_t length = CharsToLong(bytes, bytes.size() - kChecksumTailSize);
    if (length != bytes.size() || count != (bytes.size() - kChecksumFixedSize) / kDigestSize ||
        (bytes.size() - kChecksumFixedSize) % kDigestSize != 0)
        throw damaged("gives a length or count that does not match its " +
                      std::to_string(bytes.size()) + " bytes");
    ChecksumBlock block;
    block.Directory = std::string(bytes.substr(8, kDigestSize));
    block.Entries.reserve(count);
    for (uint64_t k = 0; k < count; ++k)
        block.Entries.emplace_back(bytes.substr(8 + kDigestSize * (k + 1), kDigestSize));
    return block;
}
