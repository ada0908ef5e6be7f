// The package's checksums: written by every package write, found from the
// end, and every flipped byte of the header, directory, names or data named;
// packages written before checksums read as having none, and a block that
// does not fit its package is refused.
#include <gtest/gtest.h>

#include <vector>

#include "PackageTestUtil.h"
#include "common/Errors.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

using namespace pkgtest;

namespace {

// A package of a compressed entry, two raw ones and an empty one, written
// after host bytes by the writer.
std::string WrittenPackage(const ScratchDir& dir) {
    WriteBytes(dir.File("w.exe"), "HOST");
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("w.exe"));
    const int64_t P = PreparePackage(f, true);
    const EntryRecord picture = MakeEntry(std::string(400, 'a') + "bc", true, 100);
    const std::string text = "readme text", tool = "#!/bin/sh\n";
    const std::vector<PackageItem> items = {
        {"setup\\picture.bmp", PackageItem::Packed{&picture, {}}},
        {"readme.txt", PackageItem::Inline{text}},
        {"tool.sh", PackageItem::Inline{tool}},
        {"empty", PackageItem::Inline{{}}}};
    EXPECT_EQ(WritePackage(f, P, items), 4);
    f.Close();
    return ReadBytes(dir.File("w.exe"));
}

std::string Flipped(std::string bytes, int64_t at) {
    bytes[static_cast<size_t>(at)] ^= 0x20;
    return bytes;
}

TEST(PackageChecksums, WrittenPackageVerifies) {
    ScratchDir dir;
    const std::string bytes = WrittenPackage(dir);
    const MemorySource source(bytes, "w.exe");
    const std::vector<DirectoryEntry> entries = ReadDirectory(source, 4);
    EXPECT_TRUE(entries[0].Compressed());
    EXPECT_TRUE(VerifyPackageChecksums(source, 4, entries));
    // The block lies between the last data block and the trailer.
    const int64_t dataEnd = entries.back().Offset + entries.back().StoredSize;
    EXPECT_EQ(static_cast<int64_t>(bytes.size()) - 10 - dataEnd, 48 + 32 * 4);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(dataEnd), 4), "qkpS");
}

// One flipped byte anywhere in the package is found and named.
TEST(PackageChecksums, EveryFlippedByteIsNamed) {
    ScratchDir dir;
    const std::string good = WrittenPackage(dir);
    const std::vector<DirectoryEntry> entries = ReadDirectory(MemorySource(good), 4);
    struct Case {
        const char* what;
        int64_t at;
        std::string reason;
    };
    const std::string dirMismatch = "the package's directory does not match its checksum";
    const std::vector<Case> cases = {
        {"compressed data that keeps its size", entries[0].Offset + 5,
         "the data of \"setup\\picture.bmp\" does not match its checksum"},
        {"raw data", entries[1].Offset, "the data of \"readme.txt\" does not match its checksum"},
        {"last raw byte", entries[2].Offset + entries[2].StoredSize - 1,
         "the data of \"tool.sh\" does not match its checksum"},
        {"the compressed flag", 4 + 16, dirMismatch},
        {"a name", 4 + 16 + 13 * 4 + 1, dirMismatch},
        {"the header's data total", 4 + 15, dirMismatch},
        {"an entry's digest", entries[3].Offset + 8 + 32 + 32 * 3, // "empty"
         "the data of \"empty\" does not match its checksum"},
    };
    for (const Case& c : cases) {
        const std::string bytes = Flipped(good, c.at);
        const MemorySource source(bytes, "w.exe");
        std::vector<DirectoryEntry> read;
        ASSERT_NO_THROW(read = ReadDirectory(source, 4)) << c.what;
        const ChecksumCheck check = CheckPackageChecksums(source, 4, read);
        EXPECT_TRUE(check.Present) << c.what;
        EXPECT_FALSE(check.Passed()) << c.what;
        try {
            VerifyPackageChecksums(source, 4, read);
            ADD_FAILURE() << c.what << " was not found";
        } catch (const DamagedInput& e) {
            EXPECT_EQ(e.Reason(), c.reason) << c.what;
            EXPECT_EQ(e.Path(), "w.exe") << c.what;
        }
    }
}

// A package large enough to be checked on two threads names every damaged
// entry of both halves, in directory order, and the first one when verified.
TEST(PackageChecksums, LargePackageNamesDamageOfBothHalvesInOrder) {
    ScratchDir dir;
    WriteBytes(dir.File("big.exe"), "HOST");
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("big.exe"));
    const int64_t P = PreparePackage(f, true);
    std::vector<std::string> contents;
    for (char c = 'a'; c < 'g'; ++c)
        contents.push_back(std::string(1 << 20, c));
    std::vector<PackageItem> items;
    for (size_t k = 0; k < contents.size(); ++k)
        items.push_back({"f" + std::to_string(k), PackageItem::Inline{contents[k]}});
    ASSERT_EQ(WritePackage(f, P, items), 6);
    f.Close();
    std::string bytes = ReadBytes(dir.File("big.exe"));
    const std::vector<DirectoryEntry> entries = ReadDirectory(MemorySource(bytes), P);
    for (size_t k : {1, 4, 5})
        bytes[static_cast<size_t>(entries[k].Offset + 1000)] ^= 1;
    const MemorySource source(bytes, "big.exe");
    EXPECT_EQ(CheckPackageChecksums(source, P, entries).Mismatched, (std::vector<size_t>{1, 4, 5}));
    try {
        VerifyPackageChecksums(source, P, entries);
        ADD_FAILURE() << "the damage was not found";
    } catch (const DamagedInput& e) {
        EXPECT_EQ(e.Reason(), "the data of \"f1\" does not match its checksum");
    }
}

// Packages written before checksums, also with bytes of an earlier package
// before the trailer, have none; a block that does not fit is damage.
TEST(PackageChecksums, OldPackagesHaveNoneAndMisfitBlocksAreDamage) {
    const std::vector<ModelEntry> model = {Raw("a.txt", "aaaa"), Raw("b.txt", "bb")};
    const std::string old = ModelPackage(model, 0);
    const std::string leftover =
        old.substr(0, old.size() - 10) + "leftover bytes" + old.substr(old.size() - 10);
    for (const std::string& bytes : {old, leftover}) {
        const MemorySource source(bytes);
        const auto entries = ReadDirectory(source, 0);
        EXPECT_FALSE(ReadChecksumBlock(source, 0, entries));
        EXPECT_FALSE(VerifyPackageChecksums(source, 0, entries));
    }
    const std::string good = ModelPackage(model, 0, true);
    const size_t blockAt = good.size() - 10 - (48 + 64);
    auto patched = [&](size_t at, const std::string& with) {
        std::string s = good;
        s.replace(at, with.size(), with);
        return s;
    };
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"length one entry short", patched(good.size() - 18, LongToChars(48 + 32))},
        {"length reaching into the data", patched(good.size() - 18, LongToChars(48 + 64 + 4))},
        {"count of three", patched(blockAt + 4, LongToChars(3))},
        {"first magic", patched(blockAt, "qkpX")},
    };
    for (const auto& [what, bytes] : damaged) {
        const MemorySource source(bytes);
        const auto entries = ReadDirectory(source, 0);
        EXPECT_THROW(ReadChecksumBlock(source, 0, entries), DamagedInput) << what;
    }
}

TEST(ChecksumBlock, BytesRoundTripAndShortOrOddBlocksThrow) {
    ChecksumBlock block;
    block.Directory = std::string(32, 'd');
    block.Entries = {std::string(32, '1'), std::string(32, '2')};
    const std::string bytes = EncodeChecksumBlock(block);
    EXPECT_EQ(bytes.size(), 48u + 64u);
    EXPECT_EQ(DecodeChecksumBlock(bytes), block);
    for (const std::string& bad : {bytes.substr(0, 47), bytes.substr(1), bytes + "x",
                                   bytes.substr(0, 40) + bytes.substr(72)})
        EXPECT_THROW(DecodeChecksumBlock(bad), DamagedInput) << bad.size();
}

} // namespace
