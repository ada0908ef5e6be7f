#include "package/EntryPieces.h"

#include <algorithm>
#include <cstring>

#include "common/Errors.h"
#include "huffman/Huffman.h"
#include "zstd/ZstdDecompress.h"

namespace {

constexpr size_t kPiece = 1 << 20;
// A prefix is fed to the zstd decoder in pieces this small, so that little
// more than it is read.
constexpr size_t kPrefixPiece = 64 << 10;

// The stored bytes in pieces of at most piece, up to limit of them.
void ReadStored(const StoredContents& stored, size_t piece, uint64_t limit,
                const ContentPieces& out) {
    const uint64_t total = std::min<uint64_t>(stored.StoredSize, limit);
    std::string buffer(static_cast<size_t>(std::min<uint64_t>(piece, total)), '\0');
    for (uint64_t at = 0; at < total;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(piece, total - at));
        stored.Read(at, buffer.data(), n);
        out(buffer.data(), n);
        at += n;
    }
}

void DecodeZstd(const StoredContents& stored, const ContentPieces& out, uint64_t limit) {
    ZstdFrameReader frame(stored.Size, stored.Name);
    if (limit == UINT64_MAX) {
        ReadStored(stored, kPiece, UINT64_MAX, [&](const char* data, size_t n) {
            frame.Add({data, n}, out);
        });
        return frame.Finish();
    }
    uint64_t made = 0;
    const auto upToLimit = [&](const char* data, size_t n) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, limit - made));
        if (take) out(data, take);
        made += take;
    };
    std::string buffer(std::min<size_t>(kPrefixPiece, stored.StoredSize), '\0');
    for (uint64_t at = 0; at < stored.StoredSize && made < limit;) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kPrefixPiece, stored.StoredSize - at));
        stored.Read(at, buffer.data(), n);
        frame.Add({buffer.data(), n}, upToLimit);
        at += n;
    }
}

} // namespace

StoredContents StoredInSource(const ByteSource& source, const DirectoryEntry& entry) {
    source.RequireRange(entry.Offset, entry.StoredSize);
    return {entry.Flags, entry.StoredSize, entry.Size, entry.Name,
            [&source, offset = entry.Offset](uint64_t at, char* data, size_t n) {
                source.ReadAt(offset + static_cast<int64_t>(at), data, n);
            }};
}

StoredContents StoredInRecord(const EntryRecord& record, const std::string& name) {
    if (record.Stored.size() != record.StoredSize)
        throw DamagedInput("the record of \"" + name + "\" holds " +
                           std::to_string(record.Stored.size()) + " stored bytes, not " +
                           std::to_string(record.StoredSize));
    return {record.Flags, record.StoredSize, record.Size, name,
            [&record](uint64_t at, char* data, size_t n) {
                std::memcpy(data, record.Stored.data() + at, n);
            }};
}

void DecodeInPieces(const StoredContents& stored, const ContentPieces& out, uint64_t limit) {
    const bool compressed = (stored.Flags & kFlagCompressed) != 0;
    if (!compressed) return ReadStored(stored, kPiece, limit, out);
    if ((stored.Flags & kFlagZstd) != 0) return DecodeZstd(stored, out, limit);
    DecompressHuffmanInPieces(stored.StoredSize, stored.Read, out, limit);
}

std::string DecodePrefix(const StoredContents& stored, size_t count) {
    std::string prefix;
    DecodeInPieces(
        stored, [&](const char* data, size_t n) { prefix.append(data, n); }, count);
    return prefix;
}
