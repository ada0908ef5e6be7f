// The codec's fast paths against their plain forms: the decoder's lookup
// tables of each width on codes that fill an entry exactly or miss it by a
// bit, codes longer than the table and dead branches, on streams whole, cut
// short and damaged; and the compressor's merge against the scan over all
// nodes, written out step by step.
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
        {"a small stream's narrow table", {{4, 16}}, 300, 4},
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

// The compressor's tree built the way the steps read: every merge scans all
// nodes in index order, and codes are read from each leaf up to the root.
std::string ScanCompress(const std::string& input) {
    const uint64_t n = input.size();
    std::vector<uint64_t> weight;
    std::vector<int> one, zero, parent, symbol;
    for (int v = 0; v < 256; ++v) {
        const auto count = static_cast<uint64_t>(std::count(input.begin(), input.end(), char(v)));
        if (count == 0) continue;
        weight.push_back(count);
        symbol.push_back(v);
        one.push_back(-1);
        zero.push_back(-1);
        parent.push_back(-1);
    }
    const size_t leaves = weight.size();
    for (size_t free = leaves; free >= 2; --free) {
        uint64_t wa = 2 * n, wb = 2 * n;
        int a = -1, b = -1;
        for (size_t i = 0; i < weight.size(); ++i) {
            if (parent[i] >= 0 || weight[i] >= std::max(wa, wb)) continue;
            if (wb > wa)
                b = static_cast<int>(i), wb = weight[i];
            else
                a = static_cast<int>(i), wa = weight[i];
        }
        parent[a] = parent[b] = static_cast<int>(weight.size());
        weight.push_back(wa + wb);
        one.push_back(a);
        zero.push_back(b);
        parent.push_back(-1);
    }
    std::string code[256], table, codeBits, dataBits;
    for (size_t leaf = 0; leaf < leaves; ++leaf) {
        std::string& c = code[symbol[leaf]];
        for (int node = static_cast<int>(leaf); parent[node] >= 0; node = parent[node])
            c.insert(c.begin(), one[parent[node]] == node ? '1' : '0');
        if (leaves == 1) c = "0";
        table += Bytes({symbol[leaf], static_cast<int>(c.size())});
        codeBits += c;
    }
    for (char ch : input)
        dataBits += code[static_cast<uint8_t>(ch)];
    auto be32 = [](uint64_t v) {
        return Bytes({int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)});
    };
    return be32(2 * leaves) + table + PackBits(codeBits) + be32(n) + PackBits(dataBits);
}

// Bytes with the given count for each value 0, 1, 2, ..., shuffled.
std::string WithCounts(const std::vector<int>& counts, std::mt19937& rng) {
    std::string s;
    for (size_t v = 0; v < counts.size(); ++v)
        s.append(counts[v], static_cast<char>(v));
    std::shuffle(s.begin(), s.end(), rng);
    return s;
}

TEST(HuffmanFastPaths, MergeTakesTheNodesTheFullScanTakes) {
    std::mt19937 rng(22);
    auto counts = [](int values, auto f) {
        std::vector<int> c(values);
        for (int v = 0; v < values; ++v)
            c[v] = f(v);
        return c;
    };
    struct Case {
        const char* what;
        std::vector<int> counts;
    };
    std::vector<Case> cases = {
        {"every value once", counts(256, [](int) { return 1; })},
        {"counts falling with the value", counts(256, [](int v) { return 300 - v; })},
        {"counts rising with the value", counts(256, [](int v) { return 1 + v; })},
        {"two levels, merged nodes tie with leaves", counts(200, [](int v) { return 1 + v % 2; })},
        {"powers of two", counts(120, [](int v) { return 1 << (v % 7); })},
        {"one heavy value among equals", counts(100, [](int v) { return v == 50 ? 500 : 3; })},
    };
    for (int k = 0; k < 30; ++k)
        cases.push_back({"random small counts", counts(2 + static_cast<int>(rng() % 255), [&](int) {
                             return 1 + static_cast<int>(rng() % (1 + k % 6));
                         })});
    for (const Case& c : cases) {
        const std::string input = WithCounts(c.counts, rng);
        // Compared whole: a different tree shows as different bytes anywhere.
        EXPECT_TRUE(CompressHuffman(input) == ScanCompress(input)) << c.what;
    }
}

} // namespace
