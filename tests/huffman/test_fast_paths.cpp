// The codec's fast paths against their plain forms: the decoder's lookup
// tables of each width on codes that fill an entry exactly or miss it by a
// bit, codes longer than the table and dead branches, on streams whole, cut
// short and damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "huffman/DecodeTables.h"
#include "huffman/Huffman.h"
#include "StreamTestUtil.h"

namespace {

// A canonical code with count codes of each length (lengths ascending), for
// byte values spread over 0 to 255. Lengths that do not fill the code space
// leave the branches of all ones empty.
std::vector<std::pair<int, std::string>>
CanonicalCode(const std::vector<std::pair<int, int>>& lengthCounts) {
    std::vector<std::pair<int, std::string>> entries;
    uint64_t code = 0;
    int length = 0;
    for (const auto& [bits, count] : lengthCounts)
        for (int k = 0; k < count; ++k) {
            if (!entries.empty()) code = (code + 1) << (bits - length);
            length = bits;
            std::string text;
            for (int b = bits - 1; b >= 0; --b)
                text += (code >> b & 1) ? '1' : '0';
            entries.push_back({static_cast<int>((entries.size() * 37 + 11) % 256), text});
        }
    return entries;
}

struct WidthCase {
    const char* what;
    std::vector<std::pair<int, int>> lengths; // (code length, how many codes)
    uint32_t n;
    int width; // the table width the stream must get
};

// 1, 2, ..., 19 bits and two of 20: most symbols need more than the table's bits.
std::vector<std::pair<int, int>> Staircase() {
    std::vector<std::pair<int, int>> lengths;
    for (int bits = 1; bits < 20; ++bits)
        lengths.push_back({bits, 1});
    lengths.push_back({20, 2});
    return lengths;
}

TEST(HuffmanFastPaths, TablesOfEveryWidthMatchThePlainWalk) {
    const std::vector<WidthCase> cases = {
        {"three 4-bit codes fill a 12-bit entry", {{4, 16}}, 200000, 12},
        {"2- and 5-bit codes straddle 12 bits", {{2, 3}, {5, 8}}, 200000, 12},
        {"a dead branch where 11 would be", {{2, 3}}, 200000, 12},
        {"codes past the table's 12 bits", Staircase(), 200000, 12},
        {"two 7-bit codes fill a 14-bit entry", {{7, 96}, {8, 64}}, 300000, 14},
        {"7- and 8-bit codes in a 16-bit entry", {{7, 2}, {8, 252}}, 1100000, 16},
        {"a small stream's narrow table", {{4, 16}}, 300, 6},
        {"codes past a small stream's table", Staircase(), 3000, 7},
    };
    std::mt19937 rng(21);
    for (const WidthCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto entries = CanonicalCode(c.lengths);
        std::string bits, symbols;
        for (uint32_t i = 0; i < c.n; ++i) {
            const auto& [symbol, code] = entries[rng() % entries.size()];
            bits += code;
            symbols += static_cast<char>(symbol);
        }
        const std::string stream = MakeStream(entries, c.n, bits);
        huffman::Header header;
        huffman::ReadHeader(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), header);
        ASSERT_EQ(huffman::ChooseLookupWidth(header.tree, header.n), c.width);

        EXPECT_EQ(DecompressHuffman(stream), symbols);
        EXPECT_EQ(ExpectSameAsPlain(stream + std::string(16, '\xFF')), "ok");
        EXPECT_EQ(ExpectSameAsPlain(stream.substr(0, stream.size() - 1)), "range");
        // One symbol more than the data holds: the padding bits decide.
        ExpectSameAsPlain(MakeStream(entries, c.n + 1, bits));
        std::string damaged = stream;
        const size_t dataStart = stream.size() - (bits.size() + 7) / 8;
        for (int f = 0; f < 3; ++f)
            damaged[dataStart + rng() % (stream.size() - dataStart)] ^=
                static_cast<char>(1 << rng() % 8);
        ExpectSameAsPlain(damaged);
    }
}

} // namespace
