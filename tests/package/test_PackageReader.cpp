// The package reader: finding a package, reading its directory and entries,
// and hostile packages that must give -1 or a clean exception.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "huffman/Huffman.h"
#include "package/PackageReader.h"
#include "PackageTestUtil.h"

using namespace pkgtest;

namespace {

// The abracadabra stream: 11 bytes, a 1 bit, b c d r 3 bits.
const std::string kAbracadabraStream =
    FromHex("00 00 00 0A | 61 01 62 03 63 03 64 03 72 03 | A2 18 | 00 00 00 0B | A7 31 4E");

std::vector<ModelEntry> FiveEntries() {
    return {{"setup\\picture.bmp", kAbracadabraStream, 1, 11},
            Raw("setup\\script.txt", "[Create]"),
            Raw("setup\\setup.txt", ""),
            Raw("setup\\strings.txt", "x"),
            Raw("readme.txt", "hello, world")};
}

BinaryFile OpenBytes(const ScratchDir& dir, const std::string& bytes, const char* name = "p.bin") {
    WriteBytes(dir.File(name), bytes);
    return BinaryFile::OpenRead(dir.File(name));
}

} // namespace

TEST(FindPackage, SmallestPackageAndShorterFiles) {
    ScratchDir dir;
    const std::string empty26 = ModelPackage({}, 0);
    ASSERT_EQ(empty26.size(), 26u);
    EXPECT_EQ(FindPackage(OpenBytes(dir, empty26)), 0);
    // Dropping the first byte leaves 25 bytes whose last 10 are still a trailer.
    EXPECT_EQ(FindPackage(OpenBytes(dir, empty26.substr(1))), -1);
    EXPECT_EQ(FindPackage(OpenBytes(dir, "")), -1);
}

TEST(FindPackage, PackageAfterHostBytes) {
    ScratchDir dir;
    const std::string host(1000, 'M');
    EXPECT_EQ(FindPackage(OpenBytes(dir, host + ModelPackage(FiveEntries(), 1000))), 1000);
}

TEST(FindPackage, MismatchesGiveMinusOne) {
    ScratchDir dir;
    const std::string good = "HOST" + ModelPackage({}, 4);
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const std::vector<Case> cases = {
        {"wrong magic at P", [](std::string& s) { s[4 + 3] = 'a'; }},
        {"trailer head not eof", [](std::string& s) { s[s.size() - 10] = 'E'; }},
        {"trailer tail not qkp", [](std::string& s) { s.back() = 'P'; }},
        {"trailer offset past the end",
         [](std::string& s) { s.replace(s.size() - 7, 4, LongToChars(0xFFFFFFF0u)); }},
        {"trailer offset onto the trailer itself",
         [](std::string& s) { s.replace(s.size() - 7, 4, LongToChars(uint32_t(s.size() - 10))); }},
    };
    EXPECT_EQ(FindPackage(OpenBytes(dir, good)), 4);
    for (const Case& c : cases) {
        std::string bytes = good;
        c.damage(bytes);
        EXPECT_EQ(FindPackage(OpenBytes(dir, bytes)), -1) << c.what;
    }
}

// Only the trailer and the magic at P decide: a header that runs into the
// trailer is still a package, and reading its directory fails cleanly.
TEST(FindPackage, MagicAtPIsEnoughEvenWhenTheHeaderOverlapsTheTrailer) {
    ScratchDir dir;
    const std::string bytes =
        "HOST" + std::string(12, 'h') + "qkpA" + "eof" + LongToChars(16) + "qkp";
    ASSERT_EQ(bytes.size(), 30u);
    BinaryFile f = OpenBytes(dir, bytes);
    EXPECT_EQ(FindPackage(f), 16);
    std::array<std::string, 2> records{"keep", "keep"};
    int64_t total = 0;
    EXPECT_THROW(ReadDirectory(f, 16, records, 2, total, 1, 0), PackageError);
    EXPECT_EQ(records[0], "keep");
}

TEST(ReadDirectory, EmptyPackageHasNoRecords) {
    ScratchDir dir;
    BinaryFile f = OpenBytes(dir, ModelPackage({}, 0));
    std::array<std::string, 4> records{"a", "b", "c", "d"};
    int64_t total = 7;
    EXPECT_EQ(ReadDirectory(f, 0, records, 4, total, 1, 0), 0);
    EXPECT_EQ(total, 7);
    EXPECT_EQ(records[0], "a");
}

TEST(ReadDirectory, RecordsCarryAbsoluteOffsetsGrowingByStoredSizes) {
    ScratchDir dir;
    const auto entries = FiveEntries();
    const uint32_t P = 3;
    BinaryFile f = OpenBytes(dir, "MZ!" + ModelPackage(entries, P));
    std::array<std::string, 1024> slots;
    slots[1] = "data slot stays";
    int64_t total = 100;
    ASSERT_EQ(ReadDirectory(f, FindPackage(f), slots, 1024, total, 2, 0), 5);

    uint32_t names = 0;
    for (const auto& e : entries)
        names += static_cast<uint32_t>(e.name.size());
    uint32_t data = P + 16 + 13 * 5 + names;
    int64_t uncompressed = 100;
    for (size_t k = 0; k < entries.size(); ++k) {
        const std::string expected = std::string(1, static_cast<char>(entries[k].flags)) +
                                     LongToChars(data) +
                                     LongToChars(static_cast<uint32_t>(entries[k].stored.size())) +
                                     LongToChars(entries[k].uncompressed) + entries[k].name;
        EXPECT_EQ(slots[2 * k], expected) << "record " << k;
        data += static_cast<uint32_t>(entries[k].stored.size());
        uncompressed += entries[k].uncompressed;
    }
    EXPECT_EQ(slots[1], "data slot stays");
    EXPECT_EQ(total, uncompressed);
}

TEST(ReadDirectory, MaximumCountLimitsTheRecords) {
    ScratchDir dir;
    BinaryFile f = OpenBytes(dir, ModelPackage(FiveEntries(), 0));
    std::array<std::string, 6> records;
    records[2] = "untouched";
    int64_t total = 0;
    EXPECT_EQ(ReadDirectory(f, 0, records, 2, total, 1, 0), 2);
    EXPECT_EQ(records[0].substr(13), "setup\\picture.bmp");
    EXPECT_EQ(records[1].substr(13), "setup\\script.txt");
    EXPECT_EQ(records[2], "untouched");
    EXPECT_EQ(total, 11 + 8);
}

TEST(ReadDirectory, MinusOneChangesNothing) {
    ScratchDir dir;
    BinaryFile f = OpenBytes(dir, "no package here, just text");
    std::array<std::string, 2> records{"keep", "keep"};
    int64_t total = 5;
    EXPECT_EQ(ReadDirectory(f, FindPackage(f), records, 2, total, 1, 0), -1);
    EXPECT_EQ(records[0], "keep");
    EXPECT_EQ(total, 5);
}

TEST(ReadDirectory, MoreEntriesThanSlotsThrowsWithoutWriting) {
    // 513 empty entries do not fit in the opener's 1024 slots with step 2.
    std::vector<ModelEntry> many;
    for (int k = 0; k < 513; ++k)
        many.push_back(Raw("f" + std::to_string(k), ""));
    ScratchDir dir;
    BinaryFile f = OpenBytes(dir, ModelPackage(many, 0));
    std::array<std::string, 1024> slots;
    slots[0] = "keep";
    int64_t total = 0;
    EXPECT_THROW(ReadDirectory(f, 0, slots, 1024, total, 2, 0), PackageError);
    EXPECT_EQ(slots[0], "keep");
    // With a maximum of 512 the same package reads its first 512 entries.
    EXPECT_EQ(ReadDirectory(f, 0, slots, 512, total, 2, 0), 512);
    EXPECT_EQ(slots[1022].substr(13), "f511");
}

TEST(ReadEntry, FetchesStoredBytesAsEntryRecord) {
    ScratchDir dir;
    const auto entries = FiveEntries();
    BinaryFile f = OpenBytes(dir, "host" + ModelPackage(entries, 4));
    std::array<std::string, 5> records;
    int64_t total = 0;
    ASSERT_EQ(ReadDirectory(f, 4, records, 5, total, 1, 0), 5);
    for (size_t k = 0; k < entries.size(); ++k) {
        const std::string entry = ReadEntry(f, records[k]);
        EXPECT_EQ(entry, std::string(1, static_cast<char>(entries[k].flags)) + LongToChars(0) +
                             LongToChars(static_cast<uint32_t>(entries[k].stored.size())) +
                             LongToChars(entries[k].uncompressed) + entries[k].stored);
    }
    EXPECT_THROW(ReadEntry(f, "short"), PackageError);
}

TEST(ExtractEntry, RawBytesComeBackUnchangedWhateverTheSizeField) {
    int64_t size = -1;
    const std::string record = FromHex("00 00000000 00000003 00000063") + "abc";
    EXPECT_EQ(ExtractEntry(record, size), "abc");
    EXPECT_EQ(size, 0x63);
}

TEST(ExtractEntry, CompressedEntryIsDecompressed) {
    int64_t size = -1;
    const std::string record = FromHex("01 00000000 00000017 0000000B") + kAbracadabraStream;
    EXPECT_EQ(ExtractEntry(record, size), "abracadabra");
    EXPECT_EQ(size, 11);
}

TEST(ExtractEntry, StoredBytesFollowTheHeaderAndShortRecordsThrow) {
    int64_t size = 0;
    EXPECT_THROW(ExtractEntry("", size), PackageError);
    EXPECT_THROW(ExtractEntry(FromHex("00 00000000 00000003"), size), PackageError);
    // The stored bytes are everything after the 13-byte header, whatever the
    // stored size field says.
    EXPECT_EQ(ExtractEntry(FromHex("00 00000000 00000004 00000004") + "abc", size), "abc");
    EXPECT_EQ(size, 4);
    EXPECT_EQ(ExtractEntry(FromHex("00 00000000 00000002 00000002") + "abc", size), "abc");
    EXPECT_EQ(ExtractEntry(FromHex("01 00000000 00000000 0000000B") + kAbracadabraStream, size),
              "abracadabra");
    // a compressed stream cut short: the decompressor's range error
    const std::string cut = kAbracadabraStream.substr(0, 20);
    EXPECT_THROW(ExtractEntry(FromHex("01 00000000 00000014 0000000B") + cut, size),
                 std::out_of_range);
}

// Hostile packages: each gives -1 from FindPackage or a clean exception from
// the reader, never a crash or an allocation sized by the damaged field.
namespace {

// Runs the opener's sequence; returns "none", "-1" or the exception's kind.
std::string ReadLikeTheOpener(const std::string& bytes) {
    ScratchDir dir;
    BinaryFile f = OpenBytes(dir, bytes);
    try {
        const int64_t P = FindPackage(f);
        if (P == -1) return "-1";
        std::array<std::string, 1024> slots;
        int64_t total = 0;
        const int32_t n = ReadDirectory(f, P, slots, 1024, total, 2, 0);
        for (int32_t k = 0; k < n; ++k) {
            int64_t size = 0;
            ExtractEntry(ReadEntry(f, slots[2 * k]), size);
        }
        return "none";
    } catch (const PackageError&) {
        return "PackageError";
    } catch (const HuffmanError&) {
        return "HuffmanError";
    } catch (const std::out_of_range&) {
        return "out_of_range";
    }
}

std::string Patch(std::string bytes, size_t at, const std::string& with) {
    bytes.replace(at, with.size(), with);
    return bytes;
}

} // namespace

TEST(HostilePackages, EachGivesMinusOneOrACleanError) {
    const std::string host = "HOSTBYTES";
    const uint32_t P = static_cast<uint32_t>(host.size());
    const std::string good = host + ModelPackage(FiveEntries(), P);
    const size_t dir0 = P + 16; // first directory record
    struct Case {
        const char* what;
        std::string bytes;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"valid", good, "none"},
        {"count 0xFFFFFFFF", Patch(good, P + 4, LongToChars(0xFFFFFFFFu)), "PackageError"},
        {"count one too many", Patch(good, P + 4, LongToChars(6)), "PackageError"},
        {"names length past the end", Patch(good, P + 8, LongToChars(0x7FFFFFFFu)), "PackageError"},
        {"a name longer than the names block", Patch(good, dir0 + 13 + 1, LongToChars(0x10000u)),
         "PackageError"},
        {"data past the end", Patch(good, dir0 + 13 * 4 + 5, LongToChars(0xFFFFFF00u)),
         "PackageError"},
        {"data reaching into the trailer", Patch(good, dir0 + 13 * 4 + 5, LongToChars(12 + 5)),
         "PackageError"},
        {"trailer offset past the end", Patch(good, good.size() - 7, LongToChars(0xFFFFFFFFu)),
         "-1"},
        // a gives the code 1, b the code 01; the data bits 0 0 walk into the empty branch
        {"dead end in the code tree",
         host +
             ModelPackage({{"x", FromHex("00 00 00 04 61 01 62 02 A0 00 00 00 01 00"), 1, 1}}, P),
         "HuffmanError"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadLikeTheOpener(c.bytes), c.expected) << c.what;
}

TEST(HostilePackages, TruncatedAtEverySeventhByte) {
    const std::string good = "HOST" + ModelPackage(FiveEntries(), 4);
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        // Cut in the middle, keeping the trailer, so FindPackage still finds it
        // and the reader meets the missing bytes.
        if (cut + 10 < good.size()) {
            const std::string kept = good.substr(0, cut) + good.substr(good.size() - 10);
            EXPECT_NE(ReadLikeTheOpener(kept), "none") << "cut at " << cut;
        }
        // And cut at the end, losing the trailer.
        EXPECT_EQ(ReadLikeTheOpener(good.substr(0, cut)), "-1") << "cut at " << cut;
    }
}

// Every damaged package kept in tests/data/malformed reads as no package or
// fails cleanly.
TEST(HostilePackages, KeptMalformedFilesFailCleanly) {
    int seen = 0;
    for (const auto& e : std::filesystem::directory_iterator(KAVELO_MALFORMED_DIR)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("package_", 0) != 0) continue;
        ++seen;
        const std::string result = ReadLikeTheOpener(ReadBytes(e.path().string()));
        EXPECT_NE(result, "none") << name;
        if (name.find("trailer_offset") != std::string::npos) {
            EXPECT_EQ(result, "-1") << name;
        }
    }
    EXPECT_GE(seen, 10);
}
