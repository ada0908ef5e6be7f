// Decodes fuzzed zstd entries: the first 4 bytes are the record's size
// (big-endian), the rest its stored frame. Extracting must give exactly that
// many bytes or throw DamagedInput, and the frame fed in 7-byte pieces must
// end the same way.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/BigEndian.h"
#include "common/Errors.h"
#include "package/PackageReader.h"
#include "zstd/ZstdDecompress.h"

namespace {

// The contents, or nullopt for DamagedInput.
std::optional<std::string> Whole(const EntryRecord& record) {
    try {
        std::string out = ExtractEntry(record, "e");
        if (out.size() != record.Size) abort();
        return out;
    } catch (const DamagedInput&) {
        return std::nullopt;
    }
}

std::optional<std::string> InPieces(const EntryRecord& record) {
    try {
        ZstdFrameReader reader(record.Size, "e");
        std::string out;
        for (size_t at = 0; at < record.Stored.size(); at += 7)
            reader.Add(std::string_view(record.Stored).substr(at, 7),
                       [&](const char* data, size_t n) { out.append(data, n); });
        reader.Finish();
        return out;
    } catch (const DamagedInput&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    EntryRecord record;
    record.Flags = kFlagCompressed | kFlagZstd;
    // At most 16 MB, so that a valid frame of a huge size does not time out.
    record.Size = CharsToLong(input, 0) & 0xFFFFFF;
    record.Stored = input.substr(4);
    record.StoredSize = static_cast<uint32_t>(record.Stored.size());
    // The same frame ends the same way, whatever the pieces; only where the
    // damage is noticed may differ.
    if (Whole(record) != InPieces(record)) abort();
    return 0;
}
