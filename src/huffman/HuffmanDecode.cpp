// DecompressHuffman: the header is read exactly as the plain tree walk reads
// it, the tree is built the same way, and the data is decoded through lookup
// tables that give up to four symbols per lookup. Anything the tables cannot
// settle (long codes, dead ends, the last bits of the input) goes through the
// one-bit-at-a-time walk, so bytes and errors match the plain decoder.
#include <algorithm>
#include <cstring>
#include <array>
#include <stdexcept>
#include <vector>

#include "huffman/BitIo.h"
#include "huffman/Huffman.h"

namespace {

constexpr size_t kMaxNodes = 512;
constexpr size_t kMaxEntries = 256;
constexpr uint32_t kReportEvery = 1024;

[[noreturn]] void Truncated() {
    throw std::out_of_range("DecompressHuffman: stream ends early");
}

uint32_t Long(const uint8_t* in, uint64_t size, uint64_t offset) {
    if (offset + 4 > size) Truncated();
    return uint32_t{in[offset]} << 24 | uint32_t{in[offset + 1]} << 16 |
           uint32_t{in[offset + 2]} << 8 | in[offset + 3];
}

// The code tree. Node 0 is the root; children are -1 when missing.
struct CodeTree {
    std::vector<std::array<int16_t, 2>> child;
    std::vector<int16_t> leaf; // the symbol of a leaf, -1 elsewhere

    int16_t Add() {
        if (child.size() == kMaxNodes)
            throw std::out_of_range("DecompressHuffman: code tree too large");
        child.push_back({-1, -1});
        leaf.push_back(-1);
        return static_cast<int16_t>(child.size() - 1);
    }

    // The shallowest leaf: every output byte takes at least this many bits.
    int MinLeafDepth() const {
        std::vector<int> depth(child.size(), 0);
        int best = 0;
        for (size_t node = 0; node < child.size(); ++node) { // children are made after parents
            if (leaf[node] >= 0 && (best == 0 || depth[node] < best)) best = depth[node];
            for (int16_t c : child[node])
                if (c >= 0) depth[c] = depth[node] + 1;
        }
        return best;
    }
};

struct Header {
    CodeTree tree;
    uint32_t n = 0;
    uint64_t dataStart = 0;
};

Header ReadHeader(const uint8_t* in, uint64_t size) {
    Header h;
    const uint64_t t = Long(in, size, 0);
    // Entries are read in steps of 2 up to offset T + 3: an odd T gives one
    // entry more.
    const uint64_t entries = (t + 1) / 2;
    if (entries > kMaxEntries) throw std::out_of_range("DecompressHuffman: code table too large");
    if (4 + 2 * entries > size) Truncated();

    // Each symbol's code is the concatenation of the bits of all its entries.
    std::array<std::vector<uint8_t>, 256> codes;
    uint64_t bitPos = 8 * (4 + t);
    uint64_t totalBits = 0;
    for (uint64_t i = 0; i < entries; ++i)
        totalBits += in[5 + 2 * i];
    const uint64_t codeBytes = (totalBits + 7) / 8;
    if (4 + t + codeBytes > size) Truncated();
    for (uint64_t i = 0; i < entries; ++i) {
        auto& code = codes[in[4 + 2 * i]];
        for (int k = in [5 + 2 * i]; k > 0; --k, ++bitPos)
            code.push_back(in[bitPos >> 3] >> (7 - (bitPos & 7)) & 1);
    }
    const uint64_t nOffset = 4 + t + codeBytes;
    h.n = Long(in, size, nOffset);
    h.dataStart = nOffset + 4;

    // The tree takes the codes by ascending byte value.
    h.tree.Add();
    for (int value = 0; value < 256; ++value) {
        if (codes[value].empty()) continue;
        int node = 0;
        for (uint8_t b : codes[value]) {
            if (h.tree.child[node][b] < 0) {
                const int16_t fresh = h.tree.Add();
                h.tree.child[node][b] = fresh;
            }
            node = h.tree.child[node][b];
        }
        h.tree.leaf[node] = static_cast<int16_t>(value);
    }
    return h;
}

// The lookup table: kLookupBits bits from the root give up to four whole
// symbols, the bits they take, and their count; a count of 0 sends the
// decoder to the bitwise walk.
constexpr int kLookupBits = 12;

struct Lookup {
    uint32_t symbols;
    uint8_t count;
    uint8_t bits;
};

std::vector<Lookup> BuildLookup(const CodeTree& tree) {
    std::vector<Lookup> table(size_t{1} << kLookupBits);
    for (uint32_t x = 0; x < table.size(); ++x) {
        Lookup e{0, 0, 0};
        int node = 0;
        for (int i = 0; i < kLookupBits && e.count < 4; ++i) {
            const int c = tree.child[node][x >> (kLookupBits - 1 - i) & 1];
            if (c < 0) break;
            node = c;
            if (tree.leaf[node] >= 0) {
                e.symbols |= static_cast<uint32_t>(tree.leaf[node]) << (8 * e.count);
                ++e.count;
                e.bits = static_cast<uint8_t>(i + 1);
                node = 0;
            }
        }
        table[x] = e;
    }
    return table;
}

class Decoder {
  public:
    Decoder(const CodeTree& tree, const uint8_t* data, uint64_t bytes, uint8_t* out)
        : tree_(tree), data_(data), bytes_(bytes), bits_(8 * bytes), out_(out) {}

    // Decodes until count symbols are out; throws like the plain walk.
    void DecodeTo(uint64_t count) {
        if (count - count_ >= 64 && lookup_.empty()) lookup_ = BuildLookup(tree_);
        if (!lookup_.empty()) {
            const Lookup* table = lookup_.data();
            while (count_ + 4 <= count && (pos_ >> 3) + 8 <= bytes_) {
                const uint64_t w = LoadBigEndian64(data_ + (pos_ >> 3)) << (pos_ & 7);
                const Lookup e = table[w >> (64 - kLookupBits)];
                if (e.count == 0) {
                    out_[count_++] = DecodeOne();
                    continue;
                }
                std::memcpy(out_ + count_, &e.symbols, 4);
                count_ += e.count;
                pos_ += e.bits;
            }
        }
        while (count_ < count)
            out_[count_++] = DecodeOne();
    }

    uint64_t Count() const { return count_; }

  private:
    // One symbol, one bit at a time.
    uint8_t DecodeOne() {
        int node = 0;
        for (;;) {
            if (pos_ >= bits_) Truncated();
            const int b = data_[pos_ >> 3] >> (7 - (pos_ & 7)) & 1;
            ++pos_;
            node = tree_.child[node][b];
            if (node < 0) throw HuffmanError();
            if (tree_.leaf[node] >= 0) return static_cast<uint8_t>(tree_.leaf[node]);
        }
    }

    const CodeTree& tree_;
    const uint8_t* data_;
    uint64_t bytes_;
    uint64_t bits_;
    uint8_t* out_;
    uint64_t pos_ = 0;
    uint64_t count_ = 0;
    std::vector<Lookup> lookup_;
};

} // namespace

std::string DecompressHuffman(const std::string& input, ProgressSink* progress,
                              int32_t progressBase, int32_t progressScale, int32_t progressSpan) {
    if (input.empty()) return {};
    const auto* in = reinterpret_cast<const uint8_t*>(input.data());
    const Header h = ReadHeader(in, input.size());

    if (progressScale != 0) {
        if (progress)
            progress->ValueSet(static_cast<float>(
                static_cast<double>(int64_t{progressBase} + progressSpan / 100) / progressScale));
        YieldToEventLoop();
    }
    const double spanLeft = static_cast<double>(int64_t{progressSpan} - progressSpan / 100);

    // Every output byte takes at least the shallowest leaf's depth in bits, so
    // no more than this many bytes can come out of the data that exists; a
    // larger N fails on the way (dead end or end of data), as the walk does.
    const uint64_t dataBytes = input.size() - h.dataStart;
    const int minDepth = h.tree.MinLeafDepth();
    const uint64_t possible = minDepth == 0 ? 0 : 8 * dataBytes / minDepth;
    const uint64_t room = std::min<uint64_t>(h.n, possible);

    std::string out(room + 8, '\0');
    Decoder decoder(h.tree, in + h.dataStart, dataBytes, reinterpret_cast<uint8_t*>(out.data()));
    if (progressScale == 0) {
        decoder.DecodeTo(h.n);
    } else {
        for (uint64_t next = kReportEvery - 1;; next += kReportEvery) {
            decoder.DecodeTo(std::min<uint64_t>(next, h.n));
            if (next > h.n) break;
            if (progress)
                progress->ValueSet(static_cast<float>(
                    (progressBase + static_cast<double>(next) / h.n * spanLeft) / progressScale));
            YieldToEventLoop();
        }
    }
    out.resize(h.n);
    return out;
}
