// A stored tree read without holding it: its header from the entry's first
// bytes alone, with every codec, reading little more than those bytes of a
// large entry; its names from the header and index alone (version 2) or as
// the whole entry is decoded in pieces (version 1).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/Errors.h"
#include "package/PackageWriter.h"
#include "package/StoredTree.h"
#include "TreeV1.h"

namespace {

// A tree whose one large file takes size bytes of four bits of entropy each:
// Huffman and zstd store it in about half.
Tree LargeTreeOf(size_t size) {
    std::mt19937 rng(7);
    std::string big(size, '\0');
    for (char& c : big)
        c = static_cast<char>('a' + rng() % 16);
    Tree tree;
    tree.RootName = "Big";
    tree.Entries = {{TreeKind::Folder, "bin", ""},
                    {TreeKind::Program, "bin/big", big},
                    {TreeKind::Link, "run", "bin/big"}};
    return tree;
}

std::string LargeTree(size_t size) {
    return EncodeTree(LargeTreeOf(size));
}

TEST(StoredTree, TheHeaderIsReadFromTheFirstBytesWithEveryCodec) {
    const struct {
        EntryCodec codec;
        size_t size;
        bool raw;
        uint64_t mostRead; // of the stored bytes, to tell the header
    } cases[] = {
        {EntryCodec::Huffman, 2 << 20, true, 80 << 10},
        {EntryCodec::Huffman, 20 << 20, false, (4 << 20) + (64 << 10)},
        {EntryCodec::Zstd, 1 << 20, false, 256 << 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string bytes = LargeTree(c.size);
        const EntryRecord record =
            c.raw ? MakeEntry(bytes, false, 100) : CompressEntry(bytes, c.codec);
        ASSERT_EQ(record.Compressed(), !c.raw);
        ASSERT_GT(record.StoredSize, 2 * c.mostRead);
        StoredContents stored = StoredInRecord(record, "big.tree");
        uint64_t read = 0;
        stored.Read = [&, whole = stored.Read](uint64_t at, char* data, size_t n) {
            whole(at, data, n);
            read = std::max<uint64_t>(read, at + n);
        };
        const TreeSummary summary = ReadTreeSummary(stored);
        EXPECT_EQ(summary.RootName, "Big");
        EXPECT_EQ(summary.EntryCount, 3u);
        EXPECT_EQ(summary.DataSize, c.size + 7);
        EXPECT_LE(read, c.mostRead);

        const Tree names = ReadStoredTreeNames(stored);
        EXPECT_LE(read, c.mostRead);
        const std::vector<TreeEntry> expected = {{TreeKind::Folder, "bin", ""},
                                                 {TreeKind::Program, "bin/big", ""},
                                                 {TreeKind::Link, "run", "bin/big"}};
        EXPECT_EQ(names.Entries, expected);
        EXPECT_EQ(names.RootName, "Big");
        // The whole tree, and a version 1 tree's names, are read to the end
        // (in the container's order: folders, links, files).
        Tree whole;
        TreeNameList all(whole);
        ReadStoredTree(stored, all);
        EXPECT_EQ(whole.Entries, (std::vector<TreeEntry>{expected[0], expected[2], expected[1]}));
        EXPECT_EQ(read, record.StoredSize);
        if (c.codec != EntryCodec::Zstd) continue;
        const EntryRecord v1 = CompressEntry(EncodeTreeV1(LargeTreeOf(c.size)), c.codec);
        read = 0;
        StoredContents old = StoredInRecord(v1, "big.tree");
        old.Read = [&, whole = old.Read](uint64_t at, char* data, size_t n) {
            whole(at, data, n);
            read = std::max<uint64_t>(read, at + n);
        };
        EXPECT_EQ(ReadStoredTreeNames(old).Entries, expected);
        EXPECT_EQ(read, v1.StoredSize);
    }
}

// A version 2 tree whose stream is damaged past its index: its names read,
// the whole tree is refused as damaged, naming the tree.
TEST(StoredTree, DamagePastTheIndexIsSeenOnlyByTheWholeRead) {
    EntryRecord record = CompressEntry(LargeTree(1 << 20), EntryCodec::Zstd);
    record.Stored.resize(record.Stored.size() - 4096);
    record.StoredSize = static_cast<uint32_t>(record.Stored.size());
    const StoredContents stored = StoredInRecord(record, "big.tree");
    EXPECT_EQ(ReadStoredTreeNames(stored).Entries.size(), 3u);
    try {
        Tree whole;
        TreeNameList all(whole);
        ReadStoredTree(stored, all);
        ADD_FAILURE() << "read";
    } catch (const DamagedInput& e) {
        EXPECT_EQ(e.Reason().rfind("the tree big.tree is damaged: ", 0), 0u) << e.Reason();
    }
}

TEST(StoredTree, AHeaderThatIsNoTreesOrLiesIsDamaged) {
    const std::string tree = LargeTree(100);
    std::string lying = tree;
    lying[20] = '\x7f'; // the index claims more bytes than follow
    const struct {
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"KVTREX" + tree.substr(6), "not a tree"},
        {tree.substr(0, 10), "the tree is cut short: the header needs 18 bytes, 10 are left"},
        {tree.substr(0, 20), "the tree is cut short: the header needs 22 bytes, 20 are left"},
        {tree.substr(0, 24), "the tree is cut short: the folder's name needs 3 bytes, 2 are left"},
        {lying, " bytes follow"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const EntryRecord record = MakeEntry(c.bytes, false, 100);
        try {
            ReadTreeSummary(StoredInRecord(record, "x.tree"));
            ADD_FAILURE() << "read";
        } catch (const DamagedInput& e) {
            EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.Reason();
        }
    }
    // Damage past the header is not seen by the header, but by the names.
    std::string cut = tree;
    cut.pop_back();
    const EntryRecord record = MakeEntry(cut, false, 100);
    EXPECT_EQ(ReadTreeSummary(StoredInRecord(record, "x.tree")).EntryCount, 3u);
    EXPECT_THROW(ReadStoredTreeNames(StoredInRecord(record, "x.tree")), DamagedInput);
}

} // namespace
