// The save's compression workers: a zstd item large enough to need the
// level's whole search tables is coded alone with them, so its bytes are
// those a lone compressor makes, while the items around it still come back
// whole and in order.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "package/ByteSource.h"
#include "package/CompressionPipeline.h"
#include "zstd/ZstdDecompress.h"

namespace {

// Text of words drawn at random: it compresses, and a match finder with
// smaller tables finds fewer of its repeats.
std::string Words(size_t size, unsigned seed) {
    static const char* const kWords[] = {"install", "folder", "setup", "file", "the",
                                         "program", "version", "of", "and", "licence",
                                         "window", "package", "to", "a", "shortcut"};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        text += kWords[rng() % std::size(kWords)];
        text += rng() % 9 == 0 ? ".\n" : " ";
    }
    text.resize(size);
    return text;
}

// Every item's stored bytes, as the writer takes them.
std::vector<std::string> Compressed(const std::vector<std::string>& contents, int workers,
                                    int64_t wholeTablesFrom) {
    std::vector<MemorySource> sources;
    for (const std::string& c : contents)
        sources.emplace_back(c);
    std::vector<CompressionPipeline::Job> jobs;
    for (size_t k = 0; k < contents.size(); ++k)
        jobs.push_back({&sources[k], static_cast<int64_t>(contents[k].size())});
    CompressionPipeline pipeline(jobs, EntryCodec::Zstd, 100, workers, wholeTablesFrom);
    std::vector<std::string> stored(contents.size());
    for (size_t k = 0; k < contents.size(); ++k) {
        CompressionPipeline::Piece piece;
        uint8_t flags = 0;
        while (pipeline.Next(k, piece, flags)) {
            if (piece.Restart) stored[k].clear();
            stored[k] += piece.Bytes;
        }
    }
    return stored;
}

} // namespace

TEST(CompressionPipeline, LargeZstdItemIsCodedAloneWithTheWholeTables) {
    const std::vector<std::string> contents = {Words(200000, 1), Words(5 << 19, 2),
                                               Words(300000, 3), Words(100000, 4)};
    const std::vector<std::string> lone = Compressed(contents, 1, 1 << 30);
    const std::vector<std::string> capped =
        Compressed(contents, 2, std::numeric_limits<int64_t>::max());
    const std::vector<std::string> two = Compressed(contents, 2, 2 << 20);
    // The caps change this item's bytes, and the whole tables give them back.
    EXPECT_NE(capped[1], lone[1]);
    EXPECT_LT(lone[1].size(), capped[1].size());
    EXPECT_EQ(two[1], lone[1]);
    for (size_t k = 0; k < contents.size(); ++k)
        EXPECT_EQ(DecompressZstd(two[k], contents[k].size(), "item"), contents[k]) << k;
}
