#include "package/PackageReader.h"

#include <algorithm>
#include <vector>

#include "huffman/Huffman.h"
#include "common/BigEndian.h"
#include "package/PackageFormat.h"

namespace {

std::string Where(const BinaryFile& file) {
    return file.Path().empty() ? "" : file.Path() + ": ";
}

// The end of the area a package's header, directory, names and data may use:
// everything before the trailer.
int64_t PackageAreaEnd(int64_t fileLength) {
    return fileLength - kTrailerSize;
}

} // namespace

int64_t FindPackage(const BinaryFile& file) {
    const int64_t length = file.Length();
    if (length < kMinPackageFileSize) return -1;
    const std::string trailer = file.ReadAt(length - kTrailerSize, kTrailerSize);
    if (trailer.compare(0, kTrailerHead.size(), kTrailerHead) != 0 ||
        trailer.compare(kTrailerTailAt, kTrailerTail.size(), kTrailerTail) != 0)
        return -1;
    const int64_t P = CharsToLong(trailer, kTrailerOffsetAt);
    // Only the magic at P is checked; fewer than 4 bytes there is no package.
    // A header that runs into the trailer is refused later by ReadDirectory.
    if (P + static_cast<int64_t>(kPackageMagic.size()) > length) return -1;
    if (file.ReadAt(P, kPackageMagic.size()) != kPackageMagic) return -1;
    return P;
}

int32_t ReadDirectory(const BinaryFile& file, int64_t P, std::span<std::string> records,
                      int32_t maxCount, int64_t& uncompressedTotal, int step, int firstIndex) {
    if (P == -1) return -1;
    const int64_t areaEnd = PackageAreaEnd(file.Length());
    if (P < 0 || P + kHeaderSize > areaEnd)
        throw PackageError(Where(file) + "the package header at " + std::to_string(P) +
                           " lies outside the file");
    const std::string header = file.ReadAt(P, kHeaderSize);
    const int64_t count = CharsToLong(header, kHeaderCountAt);
    const int64_t namesLength = CharsToLong(header, kHeaderNamesLengthAt);

    // The directory and the names must fit before the trailer; checked before
    // anything is allocated, so a count of 0xFFFFFFFF fails here.
    const int64_t directoryAt = P + kHeaderSize;
    const int64_t namesAt = directoryAt + kRecordSize * count;
    int64_t dataAt = namesAt + namesLength;
    if (dataAt > areaEnd)
        throw PackageError(Where(file) + "the package directory (" + std::to_string(count) +
                           " entries, " + std::to_string(namesLength) +
                           " bytes of names) runs past the end of the file");

    const int64_t n = maxCount < count ? std::max<int64_t>(maxCount, 0) : count;
    if (n == 0) return 0;
    if (step < 1 || firstIndex < 0 ||
        firstIndex + (n - 1) * step >= static_cast<int64_t>(records.size()))
        throw PackageError(Where(file) + "the package holds " + std::to_string(count) +
                           " entries, more than fit in the list");

    const std::string directory = file.ReadAt(directoryAt, static_cast<size_t>(kRecordSize * n));
    int64_t namesNeeded = 0;
    for (int64_t k = 0; k < n; ++k)
        namesNeeded += CharsToLong(directory, k * kRecordSize + 1);
    if (namesNeeded > namesLength)
        throw PackageError(Where(file) +
                           "the names of the package's entries run past its names block");
    const std::string names = file.ReadAt(namesAt, static_cast<size_t>(namesNeeded));

    // Every record is built and checked before the first one is stored.
    std::vector<std::string> made(static_cast<size_t>(n));
    int64_t total = 0;
    size_t nameAt = 0;
    for (int64_t k = 0; k < n; ++k) {
        const size_t at = static_cast<size_t>(k * kRecordSize);
        const uint32_t nameLength = CharsToLong(directory, at + 1);
        const int64_t stored = CharsToLong(directory, at + kRecordStoredSizeAt);
        if (dataAt + stored > areaEnd || dataAt > kMaxPackageNumber)
            throw PackageError(Where(file) + "the data of entry " + std::to_string(k) +
                               " lies past the end of the file");
        std::string& record = made[static_cast<size_t>(k)];
        record.reserve(kRecordSize + nameLength);
        record += directory[at];
        record += LongToChars(static_cast<uint32_t>(dataAt));
        record.append(directory, at + kRecordStoredSizeAt, 8);
        record.append(names, nameAt, nameLength);
        nameAt += nameLength;
        dataAt += stored;
        total += CharsToLong(directory, at + kRecordUncompressedSizeAt);
    }
    for (int64_t k = 0; k < n; ++k)
        records[static_cast<size_t>(firstIndex + k * step)] =
            std::move(made[static_cast<size_t>(k)]);
    uncompressedTotal += total;
    return static_cast<int32_t>(n);
}

std::string ReadEntry(const BinaryFile& file, const std::string& directoryRecord) {
    if (directoryRecord.size() < static_cast<size_t>(kRecordSize))
        throw PackageError(Where(file) + "a directory record is shorter than 13 bytes");
    const int64_t at = CharsToLong(directoryRecord, kRecordFieldAt);
    const int64_t stored = CharsToLong(directoryRecord, kRecordStoredSizeAt);
    if (at + stored > PackageAreaEnd(file.Length()))
        throw PackageError(Where(file) + "the data of an entry lies past the end of the file");
    // The stored bytes are read straight into the record, behind its header.
    std::string entry(static_cast<size_t>(kRecordSize + stored), '\0');
    entry[kRecordFlagsAt] = directoryRecord[kRecordFlagsAt];
    directoryRecord.copy(entry.data() + kRecordStoredSizeAt, 8, kRecordStoredSizeAt);
    file.ReadAt(at, entry.data() + kRecordSize, static_cast<size_t>(stored));
    return entry;
}

std::string ExtractEntry(const std::string& entryRecord, int64_t& uncompressedSize) {
    if (entryRecord.size() < static_cast<size_t>(kRecordSize))
        throw PackageError("an entry record is shorter than 13 bytes");
    // The stored bytes are everything after the header; the stored size
    // field is not consulted.
    std::string stream = entryRecord.substr(kRecordSize);
    std::string contents = (static_cast<uint8_t>(entryRecord[kRecordFlagsAt]) & kFlagCompressed)
                               ? DecompressHuffman(stream, nullptr, 0, 0, 0)
                               : std::move(stream);
    uncompressedSize = CharsToLong(entryRecord, kRecordUncompressedSizeAt);
    return contents;
}
