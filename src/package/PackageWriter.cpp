#include "package/PackageWriter.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "huffman/Huffman.h"
#include "package/FileMoves.h"
#include "common/BigEndian.h"

namespace {

// Names are compared without regard to case: ASCII letters only, so bytes of
// other code pages stay as they are.
std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Where(const BinaryFile& file) {
    return file.Path().empty() ? "" : file.Path() + ": ";
}

uint32_t CheckedNumber(int64_t value, const char* what) {
    if (value < 0 || value > kMaxPackageNumber)
        throw PackageError(std::string(what) + " (" + std::to_string(value) +
                           ") does not fit in a package");
    return static_cast<uint32_t>(value);
}

std::string RecordHeader(uint8_t flags, uint32_t field, uint32_t stored, uint32_t uncompressed) {
    std::string record(1, static_cast<char>(flags));
    record += LongToChars(field);
    record += LongToChars(stored);
    record += LongToChars(uncompressed);
    return record;
}

// A stream is kept only when it is strictly shorter than the limit and can
// bring the contents back: the compressor gives an empty stream for a single
// byte, which would come back as an empty file.
bool KeepStream(const std::string& stream, int64_t length, int32_t thresholdPercent) {
    if (stream.empty() && length > 0) return false;
    return static_cast<double>(stream.size()) <
           static_cast<double>(length) * thresholdPercent / 100.0;
}

// One item of WritePackage's list once it has been sized. It points into the
// caller's items, which outlive the call, so no item's bytes are copied.
struct Item {
    const std::string* source;
    const std::string* name;
    const std::string* entry;
    int64_t size = 0;
    const std::string& Source() const { return *source; }
    const std::string& Name() const { return *name; }
    const std::string& Entry() const { return *entry; }
};

// A run of kept old data blocks: consecutive blocks that touch are one run.
struct Run {
    int64_t oldStart;
    int64_t length;
    int64_t newStart = 0;
};

bool IsInline(const std::string& source) {
    return !source.empty() && source.front() == kInlineDataMark;
}

// The size of an item (step "Sizes"); std::nullopt when its source cannot be
// read: a missing file, a directory, or a source offset past its end.
std::optional<int64_t> SizeItem(const Item& item) {
    if (!item.Entry().empty()) {
        if (item.Entry().size() < static_cast<size_t>(kRecordSize))
            throw PackageError("the entry record of \"" + item.Name() +
                               "\" is shorter than 13 bytes");
        const int64_t stored = CharsToLong(item.Entry(), kRecordStoredSizeAt);
        const int64_t offset = CharsToLong(item.Entry(), kRecordFieldAt);
        if (offset == 0) {
            if (stored != static_cast<int64_t>(item.Entry().size()) - kRecordSize)
                throw PackageError("the entry record of \"" + item.Name() +
                                   "\" does not hold its stored size");
            return stored;
        }
        // The stored bytes lie at offset in the source file.
        std::error_code ec;
        if (item.Source().empty() || IsInline(item.Source()) ||
            std::filesystem::is_directory(item.Source(), ec))
            return std::nullopt;
        try {
            BinaryFile source = BinaryFile::OpenRead(item.Source());
            if (offset + stored > source.Length()) return std::nullopt;
        } catch (const std::system_error&) {
            return std::nullopt;
        }
        return stored;
    }
    if (IsInline(item.Source())) return static_cast<int64_t>(item.Source().size()) - 1;
    std::error_code ec;
    if (item.Source().empty() || std::filesystem::is_directory(item.Source(), ec))
        return std::nullopt;
    try {
        return BinaryFile::OpenRead(item.Source()).Length();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

} // namespace

std::string MakeEntry(const std::string& contents, bool compress, int32_t thresholdPercent,
                      ProgressSink* progress, int32_t progressBase, int32_t progressScale,
                      int32_t progressSpan) {
    const int64_t length = static_cast<int64_t>(contents.size());
    const uint32_t uncompressed = CheckedNumber(length, "the length of a file");
    if (compress) {
        std::string stream =
            CompressHuffman(contents, progress, progressBase, progressScale, progressSpan);
        if (KeepStream(stream, length, thresholdPercent)) {
            std::string entry = RecordHeader(kFlagCompressed, 0,
                                             static_cast<uint32_t>(stream.size()), uncompressed);
            entry += stream;
            return entry;
        }
    }
    std::string entry = RecordHeader(0, 0, uncompressed, uncompressed);
    entry += contents;
    return entry;
}

std::string EmptyPackageHeader() {
    std::string header(kPackageMagic);
    header.append(kHeaderSize - kPackageMagic.size(), '\0');
    return header;
}

int32_t GetEntryCount(const BinaryFile& file, int64_t P) {
    if (P == -1) return 0;
    return static_cast<int32_t>(CharsToLong(file.ReadAt(P + kHeaderCountAt, 4), 0));
}

int64_t PreparePackage(BinaryFile& file, bool allowNonEmpty) {
    const int64_t P = FindPackage(file);
    if (P == -1) {
        const int64_t length = file.Length();
        std::string package = EmptyPackageHeader();
        package += kTrailerHead;
        package += LongToChars(CheckedNumber(length, "the offset of the package"));
        package += kTrailerTail;
        file.WriteAt(length, package);
        return length;
    }
    if (!allowNonEmpty && GetEntryCount(file, P) != 0) return -1;
    return P;
}

int32_t WritePackage(BinaryFile& file, int64_t P, std::span<const std::string> items,
                     int32_t itemCount, const std::string& deleteMask, bool compressRawItems,
                     bool abortOnUnreadableItem, int32_t policy, bool keepTail,
                     BinaryFile* destination, int64_t destinationOffset,
                     int32_t rawThresholdPercent) {
    if (itemCount < 0 || itemCount > kMaxWriteItems ||
        static_cast<size_t>(itemCount) * 3 > items.size())
        throw std::invalid_argument("WritePackage: " + std::to_string(itemCount) +
                                    " items do not fit the item list");
    if (policy < ConflictIgnore || policy > ConflictRaiseError)
        throw std::invalid_argument("WritePackage: unknown name conflict policy " +
                                    std::to_string(policy));

    // Defaults: the new package goes into file at P.
    BinaryFile& target = destination ? *destination : file;
    const bool sameFile = target.SameFileAs(file);
    const int64_t destOffset = destinationOffset == -1 ? P : destinationOffset;
    CheckedNumber(destOffset, "the offset of the package");

    // Sizes, from the last item to the first; an unreadable item ends the
    // call or leaves the list.
    std::vector<Item> list;
    list.reserve(static_cast<size_t>(itemCount));
    for (int32_t k = 0; k < itemCount; ++k)
        list.push_back({&items[3 * k], &items[3 * k + 1], &items[3 * k + 2], 0});
    for (size_t k = list.size(); k-- > 0;) {
        const std::optional<int64_t> size = SizeItem(list[k]);
        if (!size) {
            if (abortOnUnreadableItem) return -1;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        list[k].size = *size;
        CheckedNumber(*size, "the size of an item");
    }

    // The old package must start with the magic at P. Only a merge reads its
    // header, directory and names, checked against the file; with policy 0 a
    // damaged header (one running into the trailer included) is overwritten.
    const int64_t fileLength = file.Length();
    const int64_t areaEnd = fileLength - kTrailerSize;
    if (P < 0 || P + static_cast<int64_t>(kPackageMagic.size()) > fileLength ||
        file.ReadAt(P, kPackageMagic.size()) != kPackageMagic)
        throw PackageError(Where(file) + "no package at offset " + std::to_string(P));
    int64_t oldCount = 0;
    int64_t oldNamesLength = 0;
    if (policy != ConflictIgnore) {
        if (P + kHeaderSize > areaEnd)
            throw PackageError(Where(file) + "the package header at " + std::to_string(P) +
                               " runs into the trailer");
        const std::string oldHeader = file.ReadAt(P, kHeaderSize);
        oldCount = CharsToLong(oldHeader, kHeaderCountAt);
        oldNamesLength = CharsToLong(oldHeader, kHeaderNamesLengthAt);
    }
    const int64_t oldNamesAt = P + kHeaderSize + kRecordSize * oldCount;

    // Merge: kept old entries keep their records and names; their data
    // blocks form runs.
    std::string keptDirectory;
    std::string keptNames;
    std::vector<Run> runs;
    int64_t keptTotal = 0;
    int64_t keptCount = 0;
    if (policy != ConflictIgnore && oldCount != 0) {
        if (oldNamesAt + oldNamesLength > areaEnd)
            throw PackageError(Where(file) + "the package directory runs past the end of the file");
        const std::string oldDirectory =
            file.ReadAt(P + kHeaderSize, static_cast<size_t>(kRecordSize * oldCount));
        const std::string oldNames = file.ReadAt(oldNamesAt, static_cast<size_t>(oldNamesLength));
        int64_t oldData = oldNamesAt + oldNamesLength;
        size_t nameAt = 0;
        for (int64_t k = 0; k < oldCount; ++k) {
            const size_t at = static_cast<size_t>(k * kRecordSize);
            const int64_t nameLength = CharsToLong(oldDirectory, at + 1);
            const int64_t stored = CharsToLong(oldDirectory, at + kRecordStoredSizeAt);
            if (static_cast<int64_t>(nameAt) + nameLength > oldNamesLength)
                throw PackageError(Where(file) +
                                   "the names of the package run past its names block");
            const std::string name = oldNames.substr(nameAt, static_cast<size_t>(nameLength));
            nameAt += static_cast<size_t>(nameLength);

            bool keep = !(static_cast<size_t>(k) < deleteMask.size() && deleteMask[k] == '\x01');
            if (keep) {
                const std::string upper = UpperAscii(name);
                for (size_t j = 0; j < list.size();) {
                    if (UpperAscii(list[j].Name()) != upper) {
                        ++j;
                        continue;
                    }
                    if (policy == ConflictAbort) return -1;
                    if (policy == ConflictRaiseError) throw PackageNameConflict(name);
                    if (policy == ConflictReplaceOld) {
                        keep = false;
                        ++j;
                    } else { // ConflictKeepOld
                        list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
                    }
                }
            }
            if (keep) {
                if (oldData + stored > areaEnd)
                    throw PackageError(Where(file) + "the data of entry " + std::to_string(k) +
                                       " lies past the end of the file");
                keptDirectory.append(oldDirectory, at, static_cast<size_t>(kRecordSize));
                keptNames += name;
                ++keptCount;
                keptTotal += stored;
                if (stored != 0) {
                    if (!runs.empty() && runs.back().oldStart + runs.back().length == oldData)
                        runs.back().length += stored;
                    else if (runs.size() < static_cast<size_t>(kMaxKeptRuns))
                        runs.push_back({oldData, stored});
                    else
                        throw PackageError(Where(file) + "more than " +
                                           std::to_string(kMaxKeptRuns) + " runs of kept data");
                }
            }
            oldData += stored;
        }
    }

    // The new directory: kept entries first, then the items in list order.
    const int64_t count = keptCount + static_cast<int64_t>(list.size());
    std::string newDirectory;
    std::string newNames;
    for (const Item& item : list) {
        newDirectory += RecordHeader(
            0, CheckedNumber(static_cast<int64_t>(item.Name().size()), "the length of a name"), 0,
            static_cast<uint32_t>(item.size));
        newNames += item.Name();
    }
    const int64_t namesLength = static_cast<int64_t>(keptNames.size() + newNames.size());
    CheckedNumber(count, "the number of entries");
    CheckedNumber(namesLength, "the length of the names");
    const int64_t dataStart = destOffset + kHeaderSize + kRecordSize * count + namesLength;

    // Until the new header is written the package reads as one with no
    // entries. In the package's own file that header goes where the trailer
    // points (P), so a header at another offset cannot overwrite data that is
    // still to be moved.
    if (sameFile)
        file.WriteAt(P, EmptyPackageHeader());
    else
        target.WriteAt(destOffset, EmptyPackageHeader());

    // Old end: where the trailer lies now (in the package's own file, its old
    // trailer; in another file, that file's last 10 bytes).
    const int64_t oldEnd = (sameFile ? fileLength : target.Length()) - kTrailerSize;

    // Relocate the kept runs back to back from dataStart, in an order that
    // never overwrites bytes still to be moved: the runs that move up are
    // copied last to first, then the others first to last.
    int64_t at = dataStart;
    for (Run& run : runs) {
        run.newStart = at;
        at += run.length;
    }
    const auto firstDown = std::find_if(runs.begin(), runs.end(),
                                        [](const Run& r) { return r.oldStart >= r.newStart; });
    for (auto it = firstDown; it != runs.begin();) {
        --it;
        MoveFileData(file, it->length, it->oldStart, it->newStart, &target, 0, kMoveBlockSize);
    }
    for (auto it = firstDown; it != runs.end(); ++it)
        MoveFileData(file, it->length, it->oldStart, it->newStart, &target, 0, kMoveBlockSize);

    // New data, in list order, after the kept runs.
    int64_t writeAt = dataStart + keptTotal;
    int64_t dataTotal = keptTotal;
    for (size_t k = 0; k < list.size(); ++k) {
        Item& item = list[k];
        char* record = newDirectory.data() + k * kRecordSize;
        uint8_t flags = 0;
        if (item.size != 0) {
            if (!item.Entry().empty()) {
                const int64_t offset = CharsToLong(item.Entry(), kRecordFieldAt);
                if (offset != 0) {
                    BinaryFile source = BinaryFile::OpenRead(item.Source());
                    MoveFileData(source, item.size, offset, writeAt, &target, 1, kMoveBlockSize);
                } else {
                    target.WriteAt(writeAt, item.Entry().data() + kRecordSize,
                                   static_cast<size_t>(item.size));
                }
                flags = static_cast<uint8_t>(item.Entry()[kRecordFlagsAt]);
                item.Entry().copy(record + kRecordUncompressedSizeAt, 4, kRecordUncompressedSizeAt);
            } else if (compressRawItems) {
                const std::string data = IsInline(item.Source())
                                             ? item.Source().substr(1)
                                             : BinaryFile::OpenRead(item.Source())
                                                   .ReadAt(0, static_cast<size_t>(item.size));
                std::string stream = CompressHuffman(data, nullptr, 0, 0, 0);
                if (KeepStream(stream, item.size, rawThresholdPercent)) {
                    target.WriteAt(writeAt, stream);
                    flags = kFlagCompressed;
                    item.size = static_cast<int64_t>(stream.size());
                } else {
                    target.WriteAt(writeAt, data);
                }
            } else if (IsInline(item.Source())) {
                target.WriteAt(writeAt, item.Source().data() + 1, static_cast<size_t>(item.size));
            } else {
                BinaryFile source = BinaryFile::OpenRead(item.Source());
                MoveFileData(source, item.size, 0, writeAt, &target, 1, kMoveBlockSize);
            }
        }
        record[kRecordFlagsAt] = static_cast<char>(flags);
        const std::string stored = LongToChars(static_cast<uint32_t>(item.size));
        stored.copy(record + kRecordStoredSizeAt, 4);
        writeAt += item.size;
        dataTotal += item.size;
        YieldToEventLoop();
    }
    CheckedNumber(dataTotal, "the size of the package's data");

    if (!keepTail && writeAt < oldEnd) ClearData(target, writeAt, oldEnd - writeAt, kMoveBlockSize);

    // The new header, directory and names make the entries visible.
    std::string head(kPackageMagic);
    head += LongToChars(static_cast<uint32_t>(count));
    head += LongToChars(static_cast<uint32_t>(namesLength));
    head += LongToChars(static_cast<uint32_t>(dataTotal));
    head += keptDirectory;
    head += newDirectory;
    head += keptNames;
    head += newNames;
    target.WriteAt(destOffset, head);

    // The trailer stays at the end of the file when the package has not
    // outgrown it, else follows the new data.
    const int64_t lastTen = target.Length() - kTrailerSize;
    std::string trailer(kTrailerHead);
    trailer += LongToChars(static_cast<uint32_t>(destOffset));
    trailer += kTrailerTail;
    target.WriteAt(lastTen > writeAt ? lastTen : writeAt, trailer);
    return static_cast<int32_t>(count);
}
