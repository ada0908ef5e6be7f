// Decoding ahead of writing: every entry comes out whole and in order, in
// pieces of at most 1 MB, with its SHA-256, whatever its codec (hashed on
// either thread); a decoder's error arrives with
// its entry; an entry out of order is refused; stopping while the thread
// waits for room ends it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/Sha256.h"
#include "huffman/Huffman.h"
#include "install/DecodeAhead.h"
#include "package/TreeArchive.h"
#include "package/ByteSource.h"
#include "package/PackageFormat.h"
#include "zstd/ZstdCompress.h"

namespace {

struct Stored {
    std::string Contents;
    std::string Bytes;
    uint8_t Flags;
};

// The entries' stored bytes one after another, with room for a trailer.
struct Area {
    std::string Bytes;
    std::vector<DirectoryEntry> Entries;

    void Add(const Stored& s) {
        Entries.push_back(
            {s.Flags, static_cast<int64_t>(Bytes.size()), static_cast<uint32_t>(s.Bytes.size()),
             static_cast<uint32_t>(s.Contents.size()), "entry" + std::to_string(Entries.size())});
        Bytes += s.Bytes;
    }
};

std::string Text(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, ' ');
    for (char& c : s)
        c = static_cast<char>('a' + rng() % (rng() % 4 ? 6 : 26));
    return s;
}

// Either thread hashes, or the one with the time.
constexpr DecodeAhead::Hashing kHashings[] = {
    DecodeAhead::Hashing::Ahead, DecodeAhead::Hashing::Behind, DecodeAhead::Hashing::Balanced};

std::vector<DecodeItem> Order(const Area& area) {
    std::vector<DecodeItem> order;
    for (const DirectoryEntry& e : area.Entries)
        order.push_back({&e});
    return order;
}

TEST(DecodeAhead, EveryCodecComesOutWholeInOrderInBoundedPieces) {
    const std::string raw = Text(5 << 19, 1), huffman = Text(2 << 20, 2), zstd = Text(5 << 18, 3);
    const std::vector<Stored> stored = {
        {raw, raw, 0},
        {huffman, CompressHuffman(huffman), kFlagCompressed},
        {"", "", 0},
        {zstd, CompressZstd(zstd), kFlagCompressed | kFlagZstd},
    };
    Area area;
    for (const Stored& s : stored)
        area.Add(s);
    area.Bytes += std::string(kTrailerSize, '\0');
    const MemorySource source(area.Bytes, "setup");
    for (const auto hashing : kHashings) {
        DecodeAhead ahead(source, Order(area), hashing);
        for (size_t k = 0; k < stored.size(); ++k) {
            std::string out;
            size_t largest = 0;
            const std::string digest =
                ahead.Take({&area.Entries[k]}, [&](const char* data, size_t n) {
                    largest = std::max(largest, n);
                    out.append(data, n);
                });
            EXPECT_TRUE(out == stored[k].Contents) << k;
            EXPECT_EQ(digest, Sha256Hex(stored[k].Contents)) << k;
            EXPECT_LE(largest, 1u << 20) << k;
        }
    }
}

TEST(DecodeAhead, ErrorsArriveWithTheirEntryAndTheOrderIsKept) {
    const std::string text = Text(2 << 20, 4);
    std::string cut = CompressHuffman(text);
    cut.resize(cut.size() / 2);
    Area area;
    area.Add({text, text, 0});
    area.Add({text, cut, kFlagCompressed});
    area.Add({text, text, 0});
    area.Bytes += std::string(kTrailerSize, '\0');
    const MemorySource source(area.Bytes, "setup");
    const auto ignore = [](const char*, size_t) {};
    {
        DecodeAhead ahead(source, Order(area));
        EXPECT_THROW(ahead.Take({&area.Entries[1]}, ignore), InvalidRequest);
    }
    DecodeAhead ahead(source, Order(area));
    ahead.Take({&area.Entries[0]}, ignore);
    EXPECT_THROW(ahead.Take({&area.Entries[1]}, ignore), DamagedInput);
    EXPECT_THROW(ahead.Take({&area.Entries[2]}, ignore), InvalidRequest);

    // A writer that fails ends the taking; the thread, waiting for room
    // with entries left, stops when the object goes.
    DecodeAhead stopped(source, Order(area));
    EXPECT_THROW(stopped.Take({&area.Entries[0]}, [](const char*, size_t) { throw Cancelled(); }),
                 Cancelled);
    EXPECT_THROW(stopped.Take({&area.Entries[1]}, ignore), InvalidRequest);
}

// The files of a tree come one by one with their SHA-256, those not wanted
// skipped, in one pass while their numbers rise; the same tree again is a
// second pass. Huffman and zstd trees alike.
TEST(DecodeAhead, TreeFilesComeOutOneByOne) {
    for (const bool zstd : {false, true}) {
        const std::string big = Text(3 << 20, 5);
        const Tree tree{"App",
                        {{TreeKind::Folder, "a", ""},
                         {TreeKind::File, "a/big", big},
                         {TreeKind::File, "a/empty", ""},
                         {TreeKind::Link, "a/link", "big"},
                         {TreeKind::Program, "a/run", "#!/bin/sh\n"}}};
        const std::string container = EncodeTree(tree);
        Area area;
        if (zstd)
            area.Add({container, CompressZstd(container), kFlagCompressed | kFlagZstd});
        else
            area.Add({container, CompressHuffman(container), kFlagCompressed});
        area.Add({"whole", "whole", 0});
        area.Bytes += std::string(kTrailerSize, '\0');
        const MemorySource source(area.Bytes, "setup");
        const DirectoryEntry* t = &area.Entries[0];
        // Entries in the container's order: a, a/link, then a/big, a/empty, a/run.
        const std::vector<DecodeItem> order = {{t, 2}, {t, 3}, {t, 4}, {t, 2}, {&area.Entries[1]}};
        const std::string expected[] = {big, "", "#!/bin/sh\n", big, "whole"};
        for (const auto hashing : kHashings) {
            DecodeAhead ahead(source, order, hashing);
            for (size_t k = 0; k < order.size(); ++k) {
                std::string out;
                const std::string digest =
                    ahead.Take(order[k], [&](const char* data, size_t n) { out.append(data, n); });
                EXPECT_TRUE(out == expected[k]) << k;
                EXPECT_EQ(digest, Sha256Hex(expected[k])) << zstd << k;
            }
        }
    }
}

} // namespace
