#include "package/PackageChecksums.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "common/BigEndian.h"
#include "common/Errors.h"
#include "common/Sha256.h"
#include "package/PackageReader.h"

namespace {

// Digests are computed over pieces of this size, so a large entry is never
// held whole.
constexpr int64_t kDigestPiece = 1 << 20;
// Below this many stored bytes a second thread costs more than it saves.
constexpr int64_t kTwoCoresFrom = 4 << 20;

// Where the data blocks of the package at P end: the checksum block, when
// there is one, starts there or later.
int64_t DataEnd(const ByteSource& source, int64_t P, const std::vector<DirectoryEntry>& entries) {
    if (!entries.empty()) return entries.back().Offset + entries.back().StoredSize;
    const PackageHeader header = ReadPackageHeader(source, P);
    return P + kHeaderSize + kRecordSize * int64_t{header.Count} + header.NamesLength;
}

// The digest of the package's header, directory and names.
std::string DirectoryDigest(const ByteSource& source, int64_t P) {
    const PackageHeader header = ReadPackageHeader(source, P);
    return DigestOfRange(source, P,
                         kHeaderSize + kRecordSize * int64_t{header.Count} + header.NamesLength);
}

DamagedInput EntryMismatch(const ByteSource& source, const DirectoryEntry& entry) {
    return DamagedInput("the data of \"" + entry.Name + "\" does not match its checksum",
                        source.Name());
}

DamagedInput DirectoryMismatch(const ByteSource& source) {
    return DamagedInput("the package's directory does not match its checksum", source.Name());
}

} // namespace

std::string DigestOfRange(const ByteSource& source, int64_t offset, int64_t length) {
    // An empty entry's offset may lie at the end of what is written so far.
    if (length == 0) return Sha256Digest({});
    source.RequireRange(offset, static_cast<uint64_t>(length));
    Sha256 hash;
    std::string piece;
    for (int64_t done = 0; done < length;) {
        const int64_t n = std::min(kDigestPiece, length - done);
        piece.resize(static_cast<size_t>(n));
        source.ReadAt(offset + done, piece.data(), piece.size());
        hash.Update(piece);
        done += n;
    }
    return hash.Finish();
}

std::optional<ChecksumBlock> ReadChecksumBlock(const ByteSource& source, int64_t P,
                                               const std::vector<DirectoryEntry>& entries) {
    const int64_t dataEnd = DataEnd(source, P, entries);
    const int64_t blockEnd = source.Length() - kTrailerSize;
    // The block ends with its length and its magic, just before the trailer.
    if (blockEnd - kChecksumTailSize < dataEnd) return std::nullopt;
    const std::string tail = source.ReadAt(blockEnd - kChecksumTailSize, kChecksumTailSize);
    if (tail.compare(4, kChecksumMagic.size(), kChecksumMagic) != 0) return std::nullopt;
    const int64_t length = CharsToLong(tail, 0);
    const int64_t expected =
        kChecksumFixedSize + kDigestSize * static_cast<int64_t>(entries.size());
    if (length != expected || blockEnd - length < dataEnd)
        throw DamagedInput("the checksum block (" + std::to_string(length) +
                               " bytes) does not fit a package of " +
                               std::to_string(entries.size()) + " entries",
                           source.Name());
    try {
        return DecodeChecksumBlock(source.ReadAt(blockEnd - length, static_cast<size_t>(length)));
    } catch (const DamagedInput& e) {
        throw DamagedInput(e.Reason(), source.Name());
    }
}

ChecksumCheck CheckPackageChecksums(const ByteSource& source, int64_t P,
                                    const std::vector<DirectoryEntry>& entries) {
    ChecksumCheck check;
    const std::optional<ChecksumBlock> block = ReadChecksumBlock(source, P, entries);
    if (!block) return check;
    check.Present = true;
    check.DirectoryMatches = DirectoryDigest(source, P) == block->Directory;
    // Entries [from, to) into mismatched, in order.
    const auto checkEntries = [&](size_t from, size_t to, std::vector<size_t>& mismatched) {
        for (size_t k = from; k < to; ++k)
            if (DigestOfRange(source, entries[k].Offset, entries[k].StoredSize) !=
                block->Entries[k])
                mismatched.push_back(k);
    };
    // A large package is checked on two cores: the entries are split where
    // half of the stored bytes lie before, the later half on a thread of its
    // own (the source is read with pread, which threads may share).
    int64_t total = 0;
    for (const DirectoryEntry& entry : entries)
        total += entry.StoredSize;
    size_t split = entries.size();
    if (total >= kTwoCoresFrom && std::thread::hardware_concurrency() > 1) {
        int64_t before = 0;
        for (split = 0; split < entries.size() && before < total / 2; ++split)
            before += entries[split].StoredSize;
    }
    std::vector<size_t> later;
    std::exception_ptr laterError;
    std::thread worker;
    if (split < entries.size())
        worker = std::thread([&] {
            try {
                checkEntries(split, entries.size(), later);
            } catch (...) {
                laterError = std::current_exception();
            }
        });
    try {
        checkEntries(0, split, check.Mismatched);
    } catch (...) {
        if (worker.joinable()) worker.join();
        throw;
    }
    if (worker.joinable()) worker.join();
    if (laterError) std::rethrow_exception(laterError);
    check.Mismatched.insert(check.Mismatched.end(), later.begin(), later.end());
    return check;
}

bool VerifyPackageChecksums(const ByteSource& source, int64_t P,
                            const std::vector<DirectoryEntry>& entries) {
    const ChecksumCheck check = CheckPackageChecksums(source, P, entries);
    if (!check.Present) return false;
    if (!check.DirectoryMatches) throw DirectoryMismatch(source);
    if (!check.Mismatched.empty()) throw EntryMismatch(source, entries[check.Mismatched.front()]);
    return true;
}

void VerifyDirectoryChecksum(const ByteSource& source, int64_t P, const ChecksumBlock& block) {
    if (DirectoryDigest(source, P) != block.Directory) throw DirectoryMismatch(source);
}

void VerifyEntryChecksum(const ByteSource& source, const ChecksumBlock& block, size_t k,
                         const DirectoryEntry& entry, std::string_view stored) {
    if (k >= block.Entries.size() || Sha256Digest(stored) != block.Entries[k])
        throw EntryMismatch(source, entry);
}
