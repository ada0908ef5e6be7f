// The fast decoder's tables: the code tree read from a stream's header exactly
// as the plain walk reads it, and the lookup table that gives up to three
// whole symbols for the next W bits of the data.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace huffman {

constexpr int kMaxNodes = 512;

// The code tree. Node 0 is the root; children are -1 when missing. A node
// that is a leaf ends every walk that reaches it, whatever lies below it.
struct CodeTree {
    std::array<std::array<int16_t, 2>, kMaxNodes> child;
    std::array<int16_t, kMaxNodes> leaf; // the symbol of a leaf, -1 elsewhere
    int size = 0;
    // How many leaves lie at each depth (1 to 511), and the deepest.
    std::array<uint16_t, kMaxNodes> leavesAt{};
    int deepest = 0;

    int16_t Add();
    // The shallowest leaf: every output byte takes at least this many bits;
    // 0 when the tree has no leaf.
    int MinLeafDepth() const;
    // The greatest common divisor of the leaves' depths.
    int LengthStep() const;
};

struct Header {
    CodeTree tree;
    uint32_t n = 0;
    uint64_t dataStart = 0;
};

// Reads T, the table, the code bits and N. Throws DamagedInput for a
// header that runs past the input, more than 256 entries or 512 nodes.
void ReadHeader(const uint8_t* in, uint64_t size, Header& h);

// One lookup: the bits of the next W bits of data, most significant first,
// index the table. An entry holds up to three symbols in its low three bytes
// (the first lowest), the bits they take in bits 24 to 29 and their count in
// bits 30 and 31. A count of 0 means no whole symbol lies within W bits: the
// low 16 bits then hold the node reached after all W bits, or 0 (the root,
// never reached that way) for a dead end.
using LookupEntry = uint32_t;

inline unsigned EntryCount(LookupEntry e) {
    return e >> 30;
}
inline unsigned EntryBits(LookupEntry e) {
    return e >> 24 & 63;
}
inline int EntryNode(LookupEntry e) {
    return static_cast<int>(e & 0xFFFF);
}

struct LookupTable {
    int width = 0;
    std::unique_ptr<LookupEntry[]> entries;
};

// The width that suits the tree for a stream of n symbols: wide enough for
// two or three typical codes per lookup, no wider than the stream can repay
// in building time. 0 when a table does not pay at all.
int ChooseLookupWidth(const CodeTree& tree, uint64_t n);

// Builds the table of 2^width entries (width 1 to 16).
void BuildLookup(const CodeTree& tree, int width, LookupTable& table);

} // namespace huffman
