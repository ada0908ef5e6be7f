#include "huffman/DecodeTables.h"

#include <algorithm>
#include <cmath>
#include <bit>
#include <numeric>
#include <stdexcept>

#include "common/Errors.h"

namespace huffman {

namespace {

constexpr uint64_t kMaxEntries = 256;

[[noreturn]] void Truncated() {
    throw DamagedInput("DecompressHuffman: stream ends early");
}

uint32_t Long(const uint8_t* in, uint64_t size, uint64_t offset) {
    if (offset + 4 > size) Truncated();
    return uint32_t{in[offset]} << 24 | uint32_t{in[offset + 1]} << 16 |
           uint32_t{in[offset + 2]} << 8 | in[offset + 3];
}

int Bit(const uint8_t* in, uint64_t pos) {
    return in[pos >> 3] >> (7 - (pos & 7)) & 1;
}

} // namespace

int16_t CodeTree::Add() {
    if (size == kMaxNodes) throw DamagedInput("DecompressHuffman: code tree too large");
    child[size] = {-1, -1};
    leaf[size] = -1;
    return static_cast<int16_t>(size++);
}

int CodeTree::MinLeafDepth() const {
    for (int d = 1; d <= deepest; ++d)
        if (leavesAt[d] != 0) return d;
    return 0;
}

int CodeTree::LengthStep() const {
    int step = 0;
    for (int d = 1; d <= deepest; ++d)
        if (leavesAt[d] != 0) step = std::gcd(step, d);
    return std::max(step, 1);
}

void ReadHeader(const uint8_t* in, uint64_t size, Header& h) {
    const uint64_t t = Long(in, size, 0);
    // Entries are read in steps of 2 up to offset T + 3: an odd T gives one
    // entry more, whose length byte is also the first byte of the code bits.
    const uint64_t entries = (t + 1) / 2;
    if (entries > kMaxEntries) throw DamagedInput("DecompressHuffman: code table too large");
    if (4 + 2 * entries > size) Truncated();

    // A symbol's code is the bits of all its entries in table order; the
    // entries of one symbol are chained by index.
    std::array<int16_t, 256> first, last, next;
    std::array<uint64_t, kMaxEntries> bitStart;
    first.fill(-1);
    uint64_t bitPos = 8 * (4 + t);
    for (uint64_t i = 0; i < entries; ++i) {
        const uint8_t symbol = in[4 + 2 * i];
        bitStart[i] = bitPos;
        bitPos += in[5 + 2 * i];
        next[i] = -1;
        if (first[symbol] < 0)
            first[symbol] = static_cast<int16_t>(i);
        else
            next[last[symbol]] = static_cast<int16_t>(i);
        last[symbol] = static_cast<int16_t>(i);
    }
    const uint64_t codeBytes = (bitPos - 8 * (4 + t) + 7) / 8;
    if (4 + t + codeBytes > size) Truncated();
    const uint64_t nOffset = 4 + t + codeBytes;
    h.n = Long(in, size, nOffset);
    h.dataStart = nOffset + 4;

    // The tree takes the codes by ascending byte value.
    CodeTree& tree = h.tree;
    tree.size = 0;
    tree.leavesAt.fill(0);
    tree.deepest = 0;
    tree.Add();
    for (int value = 0; value < 256; ++value) {
        int node = 0, depth = 0;
        for (int i = first[value]; i >= 0; i = next[i]) {
            for (uint64_t p = bitStart[i], end = p + in [5 + 2 * i]; p < end; ++p, ++depth) {
                const int b = Bit(in, p);
                if (tree.child[node][b] < 0) {
                    const int16_t fresh = tree.Add();
                    tree.child[node][b] = fresh;
                }
                node = tree.child[node][b];
            }
        }
        if (depth == 0) continue; // no code: no leaf
        tree.leaf[node] = static_cast<int16_t>(value);
        ++tree.leavesAt[depth];
        tree.deepest = std::max(tree.deepest, depth);
    }
}

int ChooseLookupWidth(const CodeTree& tree, uint64_t n) {
    const int minDepth = tree.MinLeafDepth();
    if (minDepth == 0) return 0;
    // The mean code length if the symbols were as frequent as their code
    // lengths claim, and the length that covers 99% of them.
    double weight = 0, bits = 0, share = 1;
    for (int d = 1; d <= tree.deepest; ++d) {
        share /= 2;
        weight += tree.leavesAt[d] * share;
        bits += tree.leavesAt[d] * share * d;
    }
    const double mean = bits / weight;
    int covering = 0;
    for (double covered = 0, part = 1; covered < 0.99 * weight;) {
        ++covering;
        part /= 2;
        covered += tree.leavesAt[covering] * part;
    }
    // Three short codes fit a table small enough for the first-level cache;
    // two codes of 8 bits need 16 bits; in between, 14 bits hold two codes of
    // 7 and three of 4 and still cost less to reach than a wider table.
    int wanted = 14;
    if (3 * mean <= 12)
        wanted = 12;
    else if (2 * mean > 15)
        wanted = 16;
    // Building costs a few symbols' worth of decoding per entry, so a
    // smaller stream gets a narrower table (about one entry per sixteen
    // symbols), but one that still holds most codes whole, and never more
    // entries than a quarter of the symbols.
    const int log2n = static_cast<int>(std::bit_width(n)) - 1;
    int width = std::max(covering, log2n - 4);
    width = std::min({width, log2n - 2, wanted});
    // A table narrower than wanted gains little from being wider than the
    // first-level cache holds.
    if (width < wanted) width = std::min(width, 12);
    return width >= minDepth ? width : 0;
}

namespace {

LookupEntry OneSymbol(int symbol, int length) {
    return static_cast<LookupEntry>(symbol) | static_cast<LookupEntry>(length) << 24 | 1u << 30;
}

// Gives every entry the first symbol its bits begin with (or the node its
// long code reaches after W bits, or 0 for a dead end) and notes the code
// length of every symbol that fits.
void FillFirst(const CodeTree& tree, int width, LookupEntry* entries,
               std::array<uint8_t, 256>& length) {
    struct Visit {
        int node, depth;
        uint32_t prefix;
    };
    Visit stack[kMaxNodes];
    int top = 0;
    stack[top++] = {0, 0, 0};
    while (top > 0) {
        const Visit v = stack[--top];
        for (int b = 0; b < 2; ++b) {
            const int c = tree.child[v.node][b];
            const int depth = v.depth + 1;
            const uint32_t prefix = v.prefix << 1 | b;
            const int rest = width - depth;
            LookupEntry fill = 0;
            if (c >= 0 && tree.leaf[c] >= 0) {
                fill = OneSymbol(tree.leaf[c], depth);
                length[tree.leaf[c]] = static_cast<uint8_t>(depth);
            } else if (c >= 0 && rest == 0) {
                fill = static_cast<LookupEntry>(c);
            } else if (c >= 0) {
                stack[top++] = {c, depth, prefix};
                continue;
            }
            std::fill(entries + (prefix << rest), entries + ((prefix + 1) << rest), fill);
        }
    }
}

} // namespace

// The entries are first filled with their first symbols, then each takes on
// the symbols that follow within its W bits, in place: an entry read for what
// follows may already hold more symbols, but its first symbol stays first and
// that symbol's code length says how far it reaches.
void BuildLookup(const CodeTree& tree, int width, LookupTable& table) {
    const uint32_t size = uint32_t{1} << width;
    if (table.width != width) {
        table.entries.reset(new LookupEntry[size]);
        table.width = width;
    }
    LookupEntry* entries = table.entries.get();
    std::array<uint8_t, 256> length{};
    FillFirst(tree, width, entries, length);
    const uint32_t mask = size - 1;
    const unsigned w = static_cast<unsigned>(width);
    for (uint32_t x = 0; x < size; ++x) {
        const LookupEntry first = entries[x];
        if (EntryCount(first) == 0) continue;
        // The second and third symbols, taken only when they fit; written
        // without branches, as whether they fit follows no pattern.
        uint32_t symbols = first & 0xFF;
        unsigned bits = length[symbols], count = 1;
        for (int k = 1; k < 3; ++k) {
            const LookupEntry next = entries[(x << bits) & mask];
            const uint32_t symbol = next & 0xFF;
            const unsigned more = length[symbol];
            const bool fits =
                (count == static_cast<unsigned>(k)) & (EntryCount(next) != 0) & (bits + more <= w);
            symbols |= fits ? symbol << (8 * k) : 0;
            bits += fits ? more : 0;
            count += fits;
        }
        entries[x] = symbols | bits << 24 | count << 30;
    }
}

} // namespace huffman
