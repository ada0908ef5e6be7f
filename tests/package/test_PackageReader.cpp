// The package reader: finding a package, reading its directory and entries,
// and hostile packages that must give -1 or a clean exception.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "huffman/Huffman.h"
#include "package/BinaryFile.h"
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
    const std::string bytes =
        "HOST" + std::string(12, 'h') + "qkpA" + "eof" + LongToChars(16) + "qkp";
    ASSERT_EQ(bytes.size(), 30u);
    const MemorySource f(bytes);
    EXPECT_EQ(FindPackage(f), 16);
    EXPECT_THROW(ReadDirectory(f, 16), DamagedInput);
}

TEST(ReadDirectory, EmptyPackageHasNoEntries) {
    const std::string bytes = ModelPackage({}, 0);
    EXPECT_TRUE(ReadDirectory(MemorySource(bytes), 0).empty());
}

TEST(ReadDirectory, EntriesCarryAbsoluteOffsetsGrowingByStoredSizes) {
    ScratchDir dir;
    const auto entries = FiveEntries();
    const uint32_t P = 3;
    BinaryFile f = OpenBytes(dir, "MZ!" + ModelPackage(entries, P));
    const std::vector<DirectoryEntry> read = ReadDirectory(f, FindPackage(f));
    ASSERT_EQ(read.size(), 5u);

    uint32_t names = 0;
    for (const auto& e : entries)
        names += static_cast<uint32_t>(e.name.size());
    int64_t data = P + 16 + 13 * 5 + names;
    for (size_t k = 0; k < entries.size(); ++k) {
        const DirectoryEntry expected{entries[k].flags, data,
                                      static_cast<uint32_t>(entries[k].stored.size()),
                                      entries[k].uncompressed, entries[k].name};
        EXPECT_EQ(read[k], expected) << "entry " << k;
        data += static_cast<int64_t>(entries[k].stored.size());
    }
}

TEST(ReadDirectory, MoreEntriesThanTheLimitThrows) {
    std::vector<ModelEntry> many;
    for (int k = 0; k < 513; ++k)
        many.push_back(Raw("f" + std::to_string(k), ""));
    const std::string bytes = ModelPackage(many, 0);
    const MemorySource f(bytes, "many.exe");
    EXPECT_THROW(ReadDirectory(f, 0, 512), DamagedInput);
    const std::vector<DirectoryEntry> read = ReadDirectory(f, 0, 513);
    ASSERT_EQ(read.size(), 513u);
    EXPECT_EQ(read.back().Name, "f512");
}

// Two entries whose names differ only in ASCII case are one file to whoever
// looks a name up, so the reader refuses them and names the second.
TEST(ReadDirectory, NameHeldTwiceIsRefused) {
    struct Case {
        std::string first, second;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"tool.sh", "tool.sh", true},
        {"Tool.sh", "TOOL.SH", true},
        {"setup\\script.txt", "SETUP\\Script.TXT", true},
        {"a\\tool.sh", "tool.sh", false},
        {"\xC9.txt", "\xE9.txt", false}, // only ASCII letters are folded
    };
    for (const Case& c : cases) {
        const std::string bytes = ModelPackage({Raw(c.first, "one"), Raw(c.second, "two")}, 0);
        const MemorySource f(bytes, "twice.exe");
        if (!c.refused) {
            EXPECT_EQ(ReadDirectory(f, 0).size(), 2u) << c.second;
            continue;
        }
        try {
            ReadDirectory(f, 0);
            ADD_FAILURE() << c.second << " was read";
        } catch (const DamagedInput& e) {
            EXPECT_EQ(e.Reason(), "the package holds two entries named \"" + c.second + "\"");
            EXPECT_EQ(e.Path(), "twice.exe");
        }
    }
}

TEST(ReadPackageDirectory, NoPackageIsNullopt) {
    EXPECT_FALSE(ReadPackageDirectory(MemorySource("no package here, just text")));
}

TEST(ReadEntry, FetchesStoredBytesAsEntryRecord) {
    ScratchDir dir;
    const auto entries = FiveEntries();
    BinaryFile f = OpenBytes(dir, "host" + ModelPackage(entries, 4));
    const std::vector<DirectoryEntry> read = ReadDirectory(f, 4);
    ASSERT_EQ(read.size(), 5u);
    for (size_t k = 0; k < entries.size(); ++k) {
        const EntryRecord entry = ReadEntry(f, read[k]);
        EXPECT_EQ(EncodeEntryRecord(entry),
                  std::string(1, static_cast<char>(entries[k].flags)) + LongToChars(0) +
                      LongToChars(static_cast<uint32_t>(entries[k].stored.size())) +
                      LongToChars(entries[k].uncompressed) + entries[k].stored);
    }
    DirectoryEntry past = read.back();
    past.StoredSize = 1000;
    EXPECT_THROW(ReadEntry(f, past), DamagedInput);
}

TEST(ExtractEntry, RawBytesComeBackUnchangedWhateverTheSizeField) {
    const EntryRecord record = DecodeEntryRecord(FromHex("00 00000000 00000003 00000063") + "abc");
    EXPECT_EQ(ExtractEntry(record), "abc");
    EXPECT_EQ(record.Size, 0x63u);
}

TEST(ExtractEntry, CompressedEntryIsDecompressed) {
    const EntryRecord record =
        DecodeEntryRecord(FromHex("01 00000000 00000017 0000000B") + kAbracadabraStream);
    EXPECT_EQ(ExtractEntry(record), "abracadabra");
    EXPECT_EQ(record.Size, 11u);
}

TEST(ExtractEntry, StoredBytesFollowTheHeaderAndShortRecordsThrow) {
    EXPECT_THROW(DecodeEntryRecord(""), DamagedInput);
    EXPECT_THROW(DecodeEntryRecord(FromHex("00 00000000 00000003")), DamagedInput);
    // The stored bytes are everything after the 13-byte header, whatever the
    // stored size field says.
    const auto extract = [](const std::string& bytes) {
        return ExtractEntry(DecodeEntryRecord(bytes));
    };
    EXPECT_EQ(extract(FromHex("00 00000000 00000004 00000004") + "abc"), "abc");
    EXPECT_EQ(extract(FromHex("00 00000000 00000002 00000002") + "abc"), "abc");
    EXPECT_EQ(extract(FromHex("01 00000000 00000000 0000000B") + kAbracadabraStream),
              "abracadabra");
    // a compressed stream cut short: the decompressor's damaged input
    const std::string cut = kAbracadabraStream.substr(0, 20);
    EXPECT_THROW(extract(FromHex("01 00000000 00000014 0000000B") + cut), DamagedInput);
}

TEST(EntryRecord, BytesRoundTrip) {
    const std::string bytes = FromHex("01 00000007 00000003 0000000B") + "xyz";
    const EntryRecord record = DecodeEntryRecord(bytes);
    EXPECT_EQ(record.Flags, 1);
    EXPECT_EQ(record.SourceOffset, 7u);
    EXPECT_EQ(record.StoredSize, 3u);
    EXPECT_EQ(record.Stored, "xyz");
    EXPECT_EQ(EncodeEntryRecord(record), bytes);
}

// Hostile packages: each gives -1 from FindPackage or a clean exception from
// the reader, never a crash or an allocation sized by the damaged field.
namespace {

// Runs the opener's sequence; returns "none", "-1" or the exception's kind.
std::string ReadLikeTheOpener(const std::string& bytes) {
    const MemorySource f(bytes);
    try {
        const int64_t P = FindPackage(f);
        if (P == -1) return "-1";
        // No more entries than a project has files.
        for (const DirectoryEntry& e : ReadDirectory(f, P, 512))
            ExtractEntry(ReadEntry(f, e));
        return "none";
    } catch (const HuffmanError&) {
        return "HuffmanError";
    } catch (const DamagedInput&) {
        return "DamagedInput";
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
        {"count 0xFFFFFFFF", Patch(good, P + 4, LongToChars(0xFFFFFFFFu)), "DamagedInput"},
        {"count one too many", Patch(good, P + 4, LongToChars(6)), "DamagedInput"},
        {"names length past the end", Patch(good, P + 8, LongToChars(0x7FFFFFFFu)), "DamagedInput"},
        {"a name longer than the names block", Patch(good, dir0 + 13 + 1, LongToChars(0x10000u)),
         "DamagedInput"},
        {"data past the end", Patch(good, dir0 + 13 * 4 + 5, LongToChars(0xFFFFFF00u)),
         "DamagedInput"},
        {"data reaching into the trailer", Patch(good, dir0 + 13 * 4 + 5, LongToChars(12 + 5)),
         "DamagedInput"},
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
