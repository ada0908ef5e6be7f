#include "package/PackageWriter.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/Errors.h"
#include "common/Sha256.h"
#include "package/CompressionPipeline.h"
#include "package/EntryCompress.h"
#include "package/FileMoves.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"

namespace {

uint32_t CheckedNumber(int64_t value, const char* what) {
    if (value < 0 || value > kMaxPackageNumber)
        throw InvalidRequest(std::string(what) + " (" + std::to_string(value) +
                             ") does not fit in a package");
    return static_cast<uint32_t>(value);
}

// A stream is kept only when it is strictly shorter than the limit and can
// bring the contents back: the compressor gives an empty stream for a single
// byte, which would come back as an empty file.
bool KeepStream(const std::string& stream, int64_t length, int32_t thresholdPercent) {
    if (stream.empty() && length > 0) return false;
    return static_cast<double>(stream.size()) <
           static_cast<double>(length) * thresholdPercent / 100.0;
}

// One item of the write once it has been sized; it points into the caller's
// items, which outlive the call, so no item's bytes are copied.
struct Sized {
    const PackageItem* item;
    int64_t size = 0;
    std::string digest; // of the bytes stored, once written
};

// A run of kept old data blocks: consecutive blocks that touch are one run.
struct Run {
    int64_t oldStart;
    int64_t length;
    int64_t newStart = 0;
};

// The length of a readable regular file at path; nullopt for a missing file,
// a folder or an empty path.
std::optional<int64_t> SourceFileLength(const std::string& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) return std::nullopt;
    try {
        return BinaryFile::OpenRead(path).Length();
    } catch (const IoError&) {
        return std::nullopt;
    }
}

// The number of bytes an item puts into the data block before any compression
// by the write; nullopt when its source cannot be read.
std::optional<int64_t> SizeItem(const PackageItem& item) {
    if (const auto* packed = std::get_if<PackageItem::Packed>(&item.Source)) {
        const EntryRecord& record = *packed->Record;
        if (record.SourceOffset == 0) {
            if (record.StoredSize != record.Stored.size())
                throw DamagedInput("the entry record of \"" + item.Name +
                                   "\" does not hold its stored size");
            return record.StoredSize;
        }
        const std::optional<int64_t> length =
            packed->From ? packed->From->Length() : SourceFileLength(packed->SourcePath);
        if (!length || int64_t{record.SourceOffset} + record.StoredSize > *length)
            return std::nullopt;
        return record.StoredSize;
    }
    if (const auto* in = std::get_if<PackageItem::Inline>(&item.Source))
        return static_cast<int64_t>(in->Bytes.size());
    return SourceFileLength(std::get<PackageItem::FromFile>(item.Source).Path);
}

// The steps of one WritePackage call.
class PackageWrite {
  public:
    PackageWrite(BinaryFile& file, int64_t P, const WriteOptions& options)
        : file_(file), P_(P), options_(options),
          target_(options.Destination ? *options.Destination : file),
          sameFile_(target_.SameFileAs(file)),
          destOffset_(options.DestinationOffset == -1 ? P : options.DestinationOffset) {
        CheckedNumber(destOffset_, "the offset of the package");
    }

    bool SizeItems(std::span<const PackageItem> items);
    bool MergeOldEntries();
    int32_t Write();

  private:
    std::vector<DirectoryEntry> ReadOldEntries();
    bool ResolveConflicts(const std::string& name, bool& keep);
    void KeepEntry(const DirectoryEntry& entry, size_t k);
    void RelocateRuns(int64_t dataStart);
    int64_t WriteItemData(DirectoryEntry& record, Sized& item, int64_t writeAt);
    int64_t WriteRawItem(const PackageItem& item, Sized& sized, int64_t writeAt, uint8_t& flags);
    std::vector<std::string> KeptDigests(int64_t dataStart) const;
    int64_t CopyStored(const PackageItem::Packed& packed, const std::string& name, Sized& sized,
                       int64_t writeAt);
    void StartPipeline();
    // Has the disk start on what was written before end, every few tens of
    // megabytes, so that the save's final flush waits for little.
    void StartWriteback(int64_t end);
    int64_t WritePipelined(size_t job, Sized& sized, int64_t writeAt, uint8_t& flags);
    void WriteHeadAndTrailer(const std::vector<DirectoryEntry>& newEntries, ChecksumBlock checksums,
                             int64_t dataTotal, int64_t writeAt);

    BinaryFile& file_;
    const int64_t P_;
    const WriteOptions& options_;
    BinaryFile& target_;
    const bool sameFile_;
    const int64_t destOffset_;
    int64_t fileLength_ = 0;

    std::vector<Sized> list_;
    std::vector<DirectoryEntry> kept_;
    std::vector<Run> runs_;
    int64_t keptTotal_ = 0;

    // Items compressed by the pipeline: their sources, and each item's job
    // (or none).
    std::vector<std::unique_ptr<ByteSource>> jobSources_;
    std::vector<std::optional<size_t>> jobOf_;
    std::unique_ptr<CompressionPipeline> pipeline_;
    int64_t writebackFrom_ = -1;
};

// Sizes, from the last item to the first; an unreadable item ends the call
// (false) or leaves the list.
bool PackageWrite::SizeItems(std::span<const PackageItem> items) {
    list_.reserve(items.size());
    for (const PackageItem& item : items)
        list_.push_back({&item, 0, {}});
    for (size_t k = list_.size(); k-- > 0;) {
        const std::optional<int64_t> size = SizeItem(*list_[k].item);
        if (!size) {
            if (options_.AbortOnUnreadableItem) return false;
            list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        list_[k].size = *size;
        CheckedNumber(*size, "the size of an item");
    }
    return true;
}

// The old package must start with the magic at P. Only a merge reads its
// header, directory and names, checked against the file; with policy 0 a
// damaged header (one running into the trailer included) is overwritten.
std::vector<DirectoryEntry> PackageWrite::ReadOldEntries() {
    fileLength_ = file_.Length();
    if (P_ < 0 || P_ + static_cast<int64_t>(kPackageMagic.size()) > fileLength_ ||
        file_.ReadAt(P_, kPackageMagic.size()) != kPackageMagic)
        throw DamagedInput("no package at offset " + std::to_string(P_), file_.Path());
    if (options_.Policy == ConflictIgnore) return {};
    const PackageHeader header = ReadPackageHeader(file_, P_);
    if (header.Count == 0) return {};
    return ReadDirectoryEntries(file_, P_, header);
}

// Applies the policy to the items named like an old entry; false when the
// write must end without writing (policy 1).
bool PackageWrite::ResolveConflicts(const std::string& name, bool& keep) {
    const std::string upper = UpperAscii(name);
    for (size_t j = 0; j < list_.size();) {
        if (UpperAscii(list_[j].item->Name) != upper) {
            ++j;
            continue;
        }
        switch (options_.Policy) {
        case ConflictAbort:
            return false;
        case ConflictRaiseError:
            throw NameConflict(name);
        case ConflictReplaceOld:
            keep = false;
            ++j;
            break;
        default: // ConflictKeepOld
            list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(j));
        }
    }
    return true;
}

void PackageWrite::KeepEntry(const DirectoryEntry& entry, size_t k) {
    if (entry.Offset + entry.StoredSize > fileLength_ - kTrailerSize)
        throw DamagedInput("the data of entry " + std::to_string(k) +
                               " lies past the end of the file",
                           file_.Path());
    kept_.push_back(entry);
    keptTotal_ += entry.StoredSize;
    if (entry.StoredSize == 0) return;
    if (!runs_.empty() && runs_.back().oldStart + runs_.back().length == entry.Offset)
        runs_.back().length += entry.StoredSize;
    else if (runs_.size() < static_cast<size_t>(kMaxKeptRuns))
        runs_.push_back({entry.Offset, entry.StoredSize});
    else
        throw DamagedInput("more than " + std::to_string(kMaxKeptRuns) + " runs of kept data",
                           file_.Path());
}

// Merge: kept old entries keep their records and names; their data blocks
// form runs. False when policy 1 ends the write.
bool PackageWrite::MergeOldEntries() {
    const std::vector<DirectoryEntry> old = ReadOldEntries();
    for (size_t k = 0; k < old.size(); ++k) {
        bool keep = !options_.Delete.contains(static_cast<uint32_t>(k));
        if (keep && !ResolveConflicts(old[k].Name, keep)) return false;
        if (keep) KeepEntry(old[k], k);
    }
    return true;
}

// Relocates the kept runs back to back from dataStart, in an order that never
// overwrites bytes still to be moved: the runs that move up are copied last to
// first, then the others first to last.
void PackageWrite::RelocateRuns(int64_t dataStart) {
    int64_t at = dataStart;
    for (Run& run : runs_) {
        run.newStart = at;
        at += run.length;
    }
    const auto firstDown = std::find_if(runs_.begin(), runs_.end(),
                                        [](const Run& r) { return r.oldStart >= r.newStart; });
    for (auto it = firstDown; it != runs_.begin();) {
        --it;
        MoveFileData(file_, it->length, it->oldStart, it->newStart, &target_, 0, kMoveBlockSize);
    }
    for (auto it = firstDown; it != runs_.end(); ++it)
        MoveFileData(file_, it->length, it->oldStart, it->newStart, &target_, 0, kMoveBlockSize);
}

int64_t PackageWrite::WriteRawItem(const PackageItem& item, Sized& sized, int64_t writeAt,
                                   uint8_t& flags) {
    const auto* in = std::get_if<PackageItem::Inline>(&item.Source);
    if (options_.CompressRawItems) {
        std::string fromFile;
        if (!in)
            fromFile = BinaryFile::OpenRead(std::get<PackageItem::FromFile>(item.Source).Path)
                           .ReadAt(0, static_cast<size_t>(sized.size));
        const std::string_view data = in ? in->Bytes : std::string_view(fromFile);
        const std::string stream = CompressStream(data, options_.Codec, nullptr, 0, 0, 0);
        if (KeepStream(stream, sized.size, options_.RawThresholdPercent)) {
            target_.WriteAt(writeAt, stream);
            flags = CompressedFlags(options_.Codec);
            sized.digest = Sha256Digest(stream);
            return static_cast<int64_t>(stream.size());
        }
        target_.WriteAt(writeAt, data.data(), data.size());
        sized.digest = Sha256Digest(data);
    } else if (in) {
        target_.WriteAt(writeAt, in->Bytes.data(), in->Bytes.size());
        sized.digest = Sha256Digest(in->Bytes);
    } else {
        BinaryFile source = BinaryFile::OpenRead(std::get<PackageItem::FromFile>(item.Source).Path);
        MoveFileData(source, sized.size, 0, writeAt, &target_, 1, kMoveBlockSize);
        sized.digest = DigestOfRange(target_, writeAt, sized.size);
    }
    return sized.size;
}

// Writes one item's data at writeAt and completes its directory record;
// returns the number of bytes stored.
int64_t PackageWrite::WriteItemData(DirectoryEntry& record, Sized& sized, int64_t writeAt) {
    if (sized.size == 0) {
        sized.digest = Sha256Digest({});
        return 0;
    }
    const PackageItem& item = *sized.item;
    if (const auto* packed = std::get_if<PackageItem::Packed>(&item.Source)) {
        const EntryRecord& entry = *packed->Record;
        if (entry.SourceOffset != 0) {
            CopyStored(*packed, item.Name, sized, writeAt);
        } else {
            target_.WriteAt(writeAt, entry.Stored);
            sized.digest = Sha256Digest(entry.Stored);
        }
        record.Flags = entry.Flags;
        record.Size = entry.Size;
        return sized.size;
    }
    if (pipeline_ && jobOf_[static_cast<size_t>(&sized - list_.data())])
        return WritePipelined(*jobOf_[static_cast<size_t>(&sized - list_.data())], sized, writeAt,
                              record.Flags);
    return WriteRawItem(item, sized, writeAt, record.Flags);
}

// Copies stored bytes from their source file, hashing them on the way; bytes
// that differ from the digest the caller knows are refused, so a damaged
// entry is never written back under a checksum of its own. A block is hashed
// on a second thread while it is written and the next one is read: the
// hashing takes as long as the copying.
int64_t PackageWrite::CopyStored(const PackageItem::Packed& packed, const std::string& name,
                                 Sized& sized, int64_t writeAt) {
    std::optional<BinaryFile> opened;
    if (!packed.From) opened = BinaryFile::OpenRead(packed.SourcePath);
    const ByteSource& source = packed.From ? *packed.From : *opened;
    const int64_t from = packed.Record->SourceOffset;
    source.RequireRange(from, static_cast<uint64_t>(sized.size));
    Sha256 hash;
    std::string blocks[2];
    // Declared last: on an error it waits for the hashing before the
    // blocks go.
    std::future<void> hashing;
    for (int64_t done = 0, k = 0; done < sized.size; ++k) {
        const int64_t n = std::min<int64_t>(kMoveBlockSize, sized.size - done);
        std::string& block = blocks[k % 2];
        block.resize(static_cast<size_t>(n));
        source.ReadAt(from + done, block.data(), block.size());
        if (hashing.valid()) hashing.get(); // the block before, whose buffer is read next
        if (n < sized.size)
            hashing = std::async(std::launch::async, [&hash, &block] { hash.Update(block); });
        else
            hash.Update(block);
        target_.WriteAt(writeAt + done, block);
        done += n;
    }
    if (hashing.valid()) hashing.get();
    sized.digest = hash.Finish();
    if (!packed.Digest.empty() && sized.digest != packed.Digest)
        throw DamagedInput("the data of \"" + name + "\" does not match its checksum",
                           source.Name());
    return sized.size;
}

// Items to compress go to the pipeline's workers, which read and compress
// them while earlier items are written.
void PackageWrite::StartPipeline() {
    jobOf_.assign(list_.size(), std::nullopt);
    if (!options_.CompressRawItems || options_.Workers <= 0) return;
    std::vector<CompressionPipeline::Job> jobs;
    for (size_t k = 0; k < list_.size(); ++k) {
        const PackageItem& item = *list_[k].item;
        if (list_[k].size == 0 || std::holds_alternative<PackageItem::Packed>(item.Source))
            continue;
        if (const auto* in = std::get_if<PackageItem::Inline>(&item.Source))
            jobSources_.push_back(std::make_unique<MemorySource>(in->Bytes, item.Name));
        else
            jobSources_.push_back(std::make_unique<BinaryFile>(
                BinaryFile::OpenRead(std::get<PackageItem::FromFile>(item.Source).Path)));
        jobOf_[k] = jobs.size();
        jobs.push_back({jobSources_.back().get(), list_[k].size});
    }
    if (jobs.empty()) return;
    pipeline_ = std::make_unique<CompressionPipeline>(
        std::move(jobs), options_.Codec, options_.RawThresholdPercent, options_.Workers);
}

void PackageWrite::StartWriteback(int64_t end) {
    constexpr int64_t kWritebackEvery = int64_t{32} << 20;
    if (end < writebackFrom_) writebackFrom_ = end; // the item started again raw
    if (end - writebackFrom_ < kWritebackEvery) return;
    target_.StartWriteback(writebackFrom_, end - writebackFrom_);
    writebackFrom_ = end;
}

// Writes the pieces the pipeline makes of an item, in order; a restart
// (the stream did not pay) writes the raw contents from the item's start.
int64_t PackageWrite::WritePipelined(size_t job, Sized& sized, int64_t writeAt, uint8_t& flags) {
    Sha256 hash;
    int64_t written = 0;
    if (writebackFrom_ < 0) writebackFrom_ = writeAt;
    CompressionPipeline::Piece piece;
    while (pipeline_->Next(job, piece, flags)) {
        if (piece.Restart) {
            hash = Sha256();
            written = 0;
        }
        target_.WriteAt(writeAt + written, piece.Bytes);
        hash.Update(piece.Bytes);
        written += static_cast<int64_t>(piece.Bytes.size());
        StartWriteback(writeAt + written);
        if (options_.Packing) options_.Packing(sized.item->Name, piece.Taken);
    }
    sized.digest = hash.Finish();
    return written;
}

// The digests of the kept entries' data, where the relocation put it.
std::vector<std::string> PackageWrite::KeptDigests(int64_t dataStart) const {
    std::vector<std::string> digests;
    digests.reserve(kept_.size());
    int64_t at = dataStart;
    for (const DirectoryEntry& e : kept_) {
        digests.push_back(DigestOfRange(target_, at, e.StoredSize));
        at += e.StoredSize;
    }
    return digests;
}

void PackageWrite::WriteHeadAndTrailer(const std::vector<DirectoryEntry>& newEntries,
                                       ChecksumBlock checksums, int64_t dataTotal,
                                       int64_t writeAt) {
    // The new header, directory and names make the entries visible.
    std::string head = EncodePackageHeader(
        {static_cast<uint32_t>(kept_.size() + newEntries.size()),
         static_cast<uint32_t>(EncodeNames(kept_).size() + EncodeNames(newEntries).size()),
         static_cast<uint32_t>(dataTotal)});
    head += EncodeDirectory(kept_);
    head += EncodeDirectory(newEntries);
    head += EncodeNames(kept_);
    head += EncodeNames(newEntries);
    target_.WriteAt(destOffset_, head);
    checksums.Directory = Sha256Digest(head);
    const std::string block = EncodeChecksumBlock(checksums);

    // The trailer stays at the end of the file when the package has not
    // outgrown it, else follows the new data; the checksum block comes
    // right before it.
    const int64_t lastTen = target_.Length() - kTrailerSize;
    const int64_t afterBlock = writeAt + static_cast<int64_t>(block.size());
    const int64_t trailerAt = lastTen > afterBlock ? lastTen : afterBlock;
    target_.WriteAt(trailerAt - static_cast<int64_t>(block.size()), block);
    target_.WriteAt(trailerAt, EncodeTrailer(static_cast<uint32_t>(destOffset_)));
}

int32_t PackageWrite::Write() {
    // The new directory: kept entries first, then the items in list order.
    std::vector<DirectoryEntry> newEntries;
    int64_t namesLength = static_cast<int64_t>(EncodeNames(kept_).size());
    for (const Sized& s : list_) {
        CheckedNumber(static_cast<int64_t>(s.item->Name.size()), "the length of a name");
        newEntries.push_back({0, 0, 0, static_cast<uint32_t>(s.size), s.item->Name});
        namesLength += static_cast<int64_t>(s.item->Name.size());
    }
    const int64_t count = static_cast<int64_t>(kept_.size() + newEntries.size());
    CheckedNumber(count, "the number of entries");
    CheckedNumber(namesLength, "the length of the names");
    const int64_t dataStart = destOffset_ + kHeaderSize + kRecordSize * count + namesLength;

    // Until the new header is written the package reads as one with no
    // entries. In the package's own file that header goes where the trailer
    // points (P), so a header at another offset cannot overwrite data that is
    // still to be moved.
    target_.WriteAt(sameFile_ ? P_ : destOffset_, EmptyPackageHeader());
    // Old end: where the trailer lies now (in the package's own file, its old
    // trailer; in another file, that file's last 10 bytes).
    const int64_t oldEnd = (sameFile_ ? fileLength_ : target_.Length()) - kTrailerSize;
    RelocateRuns(dataStart);
    StartPipeline();
    const int64_t lengthBefore = target_.Length();
    ChecksumBlock checksums;
    checksums.Entries = KeptDigests(dataStart);

    // New data, in list order, after the kept runs.
    int64_t writeAt = dataStart + keptTotal_;
    for (size_t k = 0; k < list_.size(); ++k) {
        if (options_.Packing && !std::holds_alternative<PackageItem::Packed>(list_[k].item->Source))
            options_.Packing(list_[k].item->Name, 0);
        const int64_t stored = WriteItemData(newEntries[k], list_[k], writeAt);
        newEntries[k].StoredSize = static_cast<uint32_t>(stored);
        checksums.Entries.push_back(std::move(list_[k].digest));
        writeAt += stored;
    }
    // A stream written and then given up for the raw contents may have
    // grown the file past the data; what this write added past it goes.
    if (pipeline_ && target_.Length() > std::max(lengthBefore, writeAt))
        target_.Resize(std::max(lengthBefore, writeAt));
    pipeline_.reset();
    const int64_t dataTotal = writeAt - dataStart;
    CheckedNumber(dataTotal, "the size of the package's data");
    if (!options_.KeepTail && writeAt < oldEnd)
        ClearData(target_, writeAt, oldEnd - writeAt, kMoveBlockSize);
    WriteHeadAndTrailer(newEntries, std::move(checksums), dataTotal, writeAt);
    return static_cast<int32_t>(count);
}

} // namespace

EntryRecord MakeEntry(std::string_view contents, bool compress, int32_t thresholdPercent,
                      const ProgressReport& progress, EntryCodec codec) {
    const int64_t length = static_cast<int64_t>(contents.size());
    EntryRecord record;
    record.Size = CheckedNumber(length, "the length of a file");
    if (compress) {
        std::string stream = CompressStream(contents, codec, progress.Sink, progress.Base,
                                            progress.Scale, progress.Span);
        if (KeepStream(stream, length, thresholdPercent)) {
            record.Flags = CompressedFlags(codec);
            record.StoredSize = static_cast<uint32_t>(stream.size());
            record.Stored = std::move(stream);
            return record;
        }
    }
    record.StoredSize = record.Size;
    record.Stored = std::string(contents);
    return record;
}

EntryRecord CompressEntry(std::string_view contents, EntryCodec codec) {
    return MakeEntry(contents, true, 100, {}, codec);
}

std::string EmptyPackageHeader() {
    return EncodePackageHeader({});
}

int64_t PreparePackage(BinaryFile& file, bool allowNonEmpty) {
    const int64_t P = FindPackage(file);
    if (P == -1) {
        const int64_t length = file.Length();
        file.WriteAt(length, EmptyPackageHeader() +
                                 EncodeTrailer(CheckedNumber(length, "the offset of the package")));
        return length;
    }
    if (!allowNonEmpty && GetEntryCount(file, P) != 0) return -1;
    return P;
}

int32_t WritePackage(BinaryFile& file, int64_t P, std::span<const PackageItem> items,
                     const WriteOptions& options) {
    if (items.size() > static_cast<size_t>(kMaxWriteItems))
        throw InvalidRequest("WritePackage: " + std::to_string(items.size()) +
                             " items are more than a write takes");
    if (options.Policy < ConflictIgnore || options.Policy > ConflictRaiseError)
        throw InvalidRequest("WritePackage: unknown name conflict policy " +
                             std::to_string(options.Policy));
    PackageWrite write(file, P, options);
    if (!write.SizeItems(items)) return -1;
    if (!write.MergeOldEntries()) return -1;
    return write.Write();
}
