// Entries compressed with zstd: the flags they carry, contents that come back
// whole, damaged frames refused with the entry's name, the frame fed in pieces,
// and the codec line of setup\setup.txt.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/SetupEntries.h"
#include "zstd/ZstdCompress.h"
#include "zstd/ZstdDecompress.h"

namespace {

std::string Noise(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(random());
    return s;
}

std::string Text(size_t lines) {
    std::string s;
    for (size_t i = 0; i < lines; ++i)
        s += "line " + std::to_string(i) + " of a text that compresses well\r\n";
    return s;
}

// The reason of the DamagedInput that extracting record throws, and its path.
std::pair<std::string, std::string> DamageOf(const EntryRecord& record) {
    try {
        ExtractEntry(record, "docs\\guide.txt");
    } catch (const DamagedInput& e) {
        return {e.Reason(), e.Path()};
    }
    return {"no error", ""};
}

// The same for the frame decoded straight into a buffer of the record's size.
std::pair<std::string, std::string> DamageIntoBufferOf(const EntryRecord& record) {
    std::string out(record.Size, '\0');
    try {
        DecompressZstdInto(record.Stored, out.data(), out.size(), "docs\\guide.txt");
    } catch (const DamagedInput& e) {
        return {e.Reason(), e.Path()};
    }
    return {"no error", ""};
}

EntryRecord ZstdRecord(const std::string& stored, uint32_t size) {
    EntryRecord r;
    r.Flags = CompressedFlags(EntryCodec::Zstd);
    r.Stored = stored;
    r.StoredSize = static_cast<uint32_t>(stored.size());
    r.Size = size;
    return r;
}

} // namespace

TEST(ZstdEntries, ContentsComeBackAndOnlySmallerStreamsAreKept) {
    struct Case {
        const char* what;
        std::string contents;
        uint8_t flags; // of the record made
    };
    const std::vector<Case> cases = {
        {"empty", "", 0},
        {"one byte", "x", 0},
        {"noise", Noise(5000, 1), 0},
        {"text", Text(400), 0x03},
        {"1.3 MB in 1 MB pieces", Text(30000), 0x03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EntryRecord record = CompressEntry(c.contents, EntryCodec::Zstd);
        EXPECT_EQ(record.Flags, c.flags);
        EXPECT_EQ(record.Size, c.contents.size());
        EXPECT_EQ(record.StoredSize, record.Stored.size());
        EXPECT_LE(record.Stored.size(), c.contents.size());
        EXPECT_EQ(ExtractEntry(record), c.contents);
    }
}

TEST(ZstdEntries, ProgressReachesTheEndOfTheSpan) {
    struct Bar : ProgressSink {
        float last = -1;
        void ValueSet(float v) override { last = v; }
    } bar;
    const std::string text = Text(30000); // 1.3 MB: two pieces
    const EntryRecord record = MakeEntry(text, true, 100, {&bar, 100, 400, 300}, EntryCodec::Zstd);
    EXPECT_FLOAT_EQ(bar.last, 1.0f);
    EXPECT_EQ(ExtractEntry(record), text);
}

TEST(ZstdEntries, DamagedFramesAreDamagedInputNamingTheEntry) {
    const std::string text = Text(400);
    const std::string frame = CompressZstd(text);
    const uint32_t size = static_cast<uint32_t>(text.size());
    std::string flipped = frame;
    flipped[flipped.size() / 2] ^= 0x40;
    std::string badChecksum = frame;
    badChecksum.back() ^= 0x01;
    std::string legacy = frame; // the magic number of the 0.7 releases' frames
    legacy[0] = 0x27;
    struct Case {
        const char* what;
        EntryRecord record;
    };
    const std::vector<Case> cases = {
        {"a bit flipped inside", ZstdRecord(flipped, size)},
        {"a wrong checksum", ZstdRecord(badChecksum, size)},
        {"cut short", ZstdRecord(frame.substr(0, frame.size() - 9), size)},
        {"cut inside its header", ZstdRecord(frame.substr(0, 3), size)},
        {"bytes after the frame", ZstdRecord(frame + "x", size)},
        {"claiming more than the record", ZstdRecord(frame, size - 1)},
        {"claiming less than the record", ZstdRecord(frame, size + 1)},
        {"a Huffman stream", ZstdRecord(MakeEntry(text, true, 100).Stored, size)},
        {"nothing stored", ZstdRecord("", size)},
        {"a frame of an old release", ZstdRecord(legacy, size)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [reason, path] : {DamageOf(c.record), DamageIntoBufferOf(c.record)}) {
            EXPECT_NE(reason, "no error");
            EXPECT_NE(reason.find("docs\\guide.txt"), std::string::npos) << reason;
            EXPECT_EQ(path, "docs\\guide.txt");
        }
    }
}

TEST(ZstdEntries, AFrameDecodedIntoABufferGivesTheSameContents) {
    const std::string text = Text(3000) + Noise(20000, 3);
    std::string out(text.size(), '\0');
    DecompressZstdInto(CompressZstd(text), out.data(), out.size(), "big.bin");
    EXPECT_EQ(out, text);
}

TEST(ZstdEntries, AClaimOfFourGigabytesIsRefusedBeforeDecoding) {
    // A 16-byte frame whose header is rewritten to name 0xFFFFFFFF bytes (a
    // 4-byte content size) with a record that says 16: refused from the header.
    const std::string real = CompressZstd(std::string(16, 'a'));
    ASSERT_EQ(static_cast<uint8_t>(real[4]), 0x24); // one segment, checksum, 1-byte size
    const std::string forged = real.substr(0, 4) + "\xA4\xFF\xFF\xFF\xFF" + real.substr(6);
    const auto [reason, path] = DamageOf(ZstdRecord(forged, 16));
    EXPECT_NE(reason.find("claims 4294967295 bytes, not 16"), std::string::npos) << reason;
}

TEST(ZstdEntries, AFrameFedByteByByteGivesTheSameContents) {
    const std::string text = Text(3000) + Noise(20000, 2);
    const std::string frame = CompressZstd(text);
    ZstdFrameReader reader(text.size(), "big.bin");
    std::string out;
    size_t largest = 0;
    for (char c : frame)
        reader.Add(std::string_view(&c, 1), [&](const char* data, size_t n) {
            out.append(data, n);
            largest = std::max(largest, n);
        });
    reader.Finish();
    EXPECT_EQ(out, text);
    EXPECT_LE(largest, 128u * 1024);
}

TEST(ZstdEntries, EveryFormIsHandedOutInBoundedPieces) {
    const std::string text = Text(30000); // 1.3 MB
    const std::string noise = Noise(1100000, 3);
    const EntryRecord records[] = {CompressEntry(text, EntryCodec::Zstd),
                                   CompressEntry(text, EntryCodec::Huffman),
                                   CompressEntry(noise, EntryCodec::Zstd)};
    ASSERT_EQ(records[0].Flags, 0x03);
    ASSERT_EQ(records[1].Flags, 0x01);
    ASSERT_EQ(records[2].Flags, 0x00);
    std::string bytes = "HOST";
    std::vector<DirectoryEntry> entries;
    for (const EntryRecord& r : records) {
        entries.push_back({r.Flags, static_cast<int64_t>(bytes.size()), r.StoredSize, r.Size, "f"});
        bytes += r.Stored;
    }
    bytes += std::string(10, 'T'); // stands for the trailer
    const MemorySource source(bytes);
    for (size_t k = 0; k < entries.size(); ++k) {
        SCOPED_TRACE(k);
        std::string out;
        size_t largest = 0;
        ExtractEntryInPieces(source, entries[k], [&](const char* data, size_t n) {
            out.append(data, n);
            largest = std::max(largest, n);
        });
        EXPECT_EQ(out, k == 2 ? noise : text);
        if (k != 1) {
            EXPECT_LE(largest, 1u << 20);
        }
    }
}

TEST(SetupTextCodec, OnlyALinePastTheSeventhNamesTheCodec) {
    const std::string seven = "c\r\ns\r\nl\r\ni\r\nm\r\nf\r\nlaunch";
    struct Case {
        std::string text;
        EntryCodec codec;
    };
    const std::vector<Case> cases = {
        {seven, EntryCodec::Huffman},
        {seven + CodecLine(EntryCodec::Zstd), EntryCodec::Zstd},
        {seven + CodecLine(EntryCodec::Huffman), EntryCodec::Huffman},
        {seven + "\r\ncompression=lzma", EntryCodec::Huffman},
        {seven + "\r\nother=1\r\ncompression=zstd", EntryCodec::Zstd},
        {"compression=zstd\r\ns\r\nl\r\ni\r\nm\r\nf\r\nlaunch", EntryCodec::Huffman},
        {"", EntryCodec::Huffman},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetupTextCodec(c.text), c.codec) << c.text;
    EXPECT_EQ(CodecLine(EntryCodec::Huffman), "");
}
