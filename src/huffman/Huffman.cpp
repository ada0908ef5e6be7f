// CompressHuffman: counts the bytes, builds the code tree with the fixed
// tie-breaks that make streams byte-exact, and writes the table and the data
// bits; also the decoder's error type.
#include "huffman/Huffman.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "huffman/BitIo.h"
#include "huffman/LargeBuffer.h"

namespace {

// Shows value / scale on the sink when a scale is set, and lets the sink
// yield in any case.
struct Reporter {
    ProgressSink* sink;
    int32_t scale;
    bool yields = true; // false on a worker thread, which has no event loop

    void Set(double value) const {
        if (scale != 0 && sink) sink->ValueSet(static_cast<float>(value / scale));
    }
    void Report(double value) const {
        Set(value);
        if (yields) Yield();
    }
    void Yield() const {
        if (sink) sink->Yield();
    }
};

constexpr size_t kReportEvery = 1024;
constexpr uint64_t kFinishedEvery = uint64_t{1} << 20;

// Hands the leading bytes of the stream that are written for good to a
// streaming caller.
struct Finished {
    const FinishedBytes* sink = nullptr;
    const uint8_t* start = nullptr;

    void At(const uint8_t* end) const {
        if (sink) (*sink)(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
    }
};

// Counts byte values in four interleaved tables so that runs of one value do
// not wait on the same counter, eight bytes to a load.
void Count(const uint8_t* p, size_t len, uint32_t (*tables)[256]) {
    const uint8_t* end = p + len;
    for (const uint8_t* words = p + len / 8 * 8; p != words; p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        ++tables[0][w & 0xFF];
        ++tables[1][w >> 8 & 0xFF];
        ++tables[2][w >> 16 & 0xFF];
        ++tables[3][w >> 24 & 0xFF];
        ++tables[0][w >> 32 & 0xFF];
        ++tables[1][w >> 40 & 0xFF];
        ++tables[2][w >> 48 & 0xFF];
        ++tables[3][w >> 56];
    }
    for (; p != end; ++p)
        ++tables[0][*p];
}

constexpr int kMaxNodes = 511; // 256 leaves and 255 merged nodes

// The code tree. Node numbers follow creation: the leaves by ascending byte
// value, then the merged nodes.
struct Tree {
    std::array<uint64_t, kMaxNodes> weight;
    std::array<int16_t, kMaxNodes> one, zero, parent;
    std::array<uint8_t, 256> symbol; // of the leaves
    int leaves = 0;
    int size = 0;

    int Add(uint64_t w, int oneChild, int zeroChild) {
        weight[size] = w;
        one[size] = static_cast<int16_t>(oneChild);
        zero[size] = static_cast<int16_t>(zeroChild);
        parent[size] = -1;
        return size++;
    }
};

// The scan's two candidates: the nodes taken and their weights.
struct Candidates {
    uint64_t wa, wb;
    int a = -1, b = -1;
    uint64_t heavier; // the larger of the two weights

    // A node is taken only when strictly lighter than the heavier candidate,
    // and it replaces B only when B is strictly heavier than A (so equal
    // candidates let A go first).
    bool Visit(uint64_t w, int node) {
        if (w >= heavier) return false;
        if (wb > wa) {
            b = node;
            wb = w;
        } else {
            a = node;
            wa = w;
        }
        heavier = std::max(wa, wb);
        return true;
    }
};

// Merges the two lightest free nodes until one is left, choosing them as a
// scan over the free nodes in index order does: the candidates start heavier
// than any node (2 n). Each merge joins the two lightest nodes, so merged
// nodes are made in order of weight: past the free leaves the scan stops at
// the first merged node it refuses, as every later one weighs at least as
// much, and the merged nodes it takes are the first free ones.
void Merge(Tree& tree, uint64_t n, const Reporter& reporter, double base, double share) {
    // The free leaves in index order, their weights padded to a multiple of
    // four with weights no scan takes.
    std::array<uint64_t, 256> weight;
    std::array<int16_t, 256> leaf{};
    int freeLeaves = tree.leaves;
    for (int i = 0; i < tree.leaves; ++i) {
        weight[i] = tree.weight[i];
        leaf[i] = static_cast<int16_t>(i);
    }
    std::fill(weight.begin() + freeLeaves, weight.end(), 2 * n);
    int firstFreeMerged = tree.leaves;
    for (int free = tree.leaves; free >= 2; --free) {
        Candidates c{2 * n, 2 * n, -1, -1, 2 * n};
        for (int k = 0; k < freeLeaves; k += 4)
            for (int j = k; j < k + 4; ++j)
                c.Visit(weight[j], leaf[j]);
        for (int i = firstFreeMerged; i < tree.size && c.Visit(tree.weight[i], i); ++i) {
        }
        const int m = tree.Add(c.wa + c.wb, c.a, c.b);
        tree.parent[c.a] = static_cast<int16_t>(m);
        tree.parent[c.b] = static_cast<int16_t>(m);
        for (const int node : {c.a, c.b}) {
            if (node >= tree.leaves) continue;
            const auto at = std::lower_bound(leaf.begin(), leaf.begin() + freeLeaves, node);
            const auto k = at - leaf.begin();
            std::copy(at + 1, leaf.begin() + freeLeaves, at);
            std::copy(weight.begin() + k + 1, weight.begin() + freeLeaves, weight.begin() + k);
            weight[--freeLeaves] = 2 * n;
        }
        while (tree.parent[firstFreeMerged] >= 0)
            ++firstFreeMerged;
        if (free % 1024 == 2) reporter.Report(base + static_cast<double>(m - free + 1) / m * share);
    }
}

// Each leaf's code: the branches from the root down, a 1 for a one child.
// Parents are made after their children, so a walk down the node numbers
// meets every parent before its children. A lone leaf (one distinct value)
// gets the 1-bit code 0 so that every stored code is readable. A code of
// length d needs at least Fibonacci(d + 2) input bytes, so with N below 2^32
// no code is longer than 45 bits.
struct Codes {
    std::array<uint64_t, 256> bits{}; // right-aligned
    std::array<uint8_t, 256> length{};
    unsigned maxLength = 0;
};

void AssignCodes(const Tree& tree, Codes& codes) {
    std::array<uint64_t, kMaxNodes> bits;
    std::array<uint8_t, kMaxNodes> depth;
    const int root = tree.size - 1;
    bits[root] = 0;
    depth[root] = tree.leaves == 1 ? 1 : 0;
    for (int node = root; node >= tree.leaves; --node) {
        bits[tree.one[node]] = bits[node] << 1 | 1;
        bits[tree.zero[node]] = bits[node] << 1;
        depth[tree.one[node]] = depth[tree.zero[node]] = static_cast<uint8_t>(depth[node] + 1);
    }
    for (int leaf = 0; leaf < tree.leaves; ++leaf) {
        const int v = tree.symbol[leaf];
        codes.bits[v] = bits[leaf];
        codes.length[v] = depth[leaf];
        codes.maxLength = std::max<unsigned>(codes.maxLength, depth[leaf]);
    }
}

// Appends codes of up to 57 bits, most significant bit first, with a 64-bit
// accumulator whose valid bits sit at the top; several codes go out per
// 8-byte store. The buffer needs 8 bytes of room past the last byte written.
class BitWriter {
  public:
    explicit BitWriter(uint8_t* out) : out_(out) {}
    // Goes on after a partial byte of bits left-aligned in acc.
    BitWriter(uint8_t* out, uint64_t acc, unsigned bits) : out_(out), acc_(acc), bits_(bits) {}
    uint64_t Acc() const { return acc_; }
    unsigned Bits() const { return bits_; }

    // code is left-aligned; bits_ + length must stay within 64.
    [[gnu::always_inline]] void Put(uint64_t code, unsigned length) {
        acc_ |= code >> bits_;
        bits_ += length;
    }
    // A code as the data's table holds it: left-aligned, its length in the
    // low 6 bits.
    [[gnu::always_inline]] void PutPacked(uint64_t e) {
        Put(e & ~uint64_t{63}, static_cast<unsigned>(e & 63));
    }
    // Stores the accumulator and keeps the bits of its last partial byte.
    [[gnu::always_inline]] void Flush() {
        StoreBigEndian64(out_, acc_);
        const unsigned whole = bits_ & ~7u;
        out_ += whole >> 3;
        acc_ = whole == 64 ? 0 : acc_ << whole;
        bits_ -= whole;
    }
    // Bytes before this one are written for good.
    const uint8_t* Position() const { return out_; }
    // Writes the last partial byte, padded with 0 bits.
    uint8_t* Finish() {
        Flush();
        if (bits_ != 0) {
            ++out_;
            bits_ = 0;
            acc_ = 0;
        }
        return out_;
    }

  private:
    uint8_t* out_;
    uint64_t acc_ = 0;
    unsigned bits_ = 0;
};

// Codes the data in chunks of kReportEvery bytes, reporting after each full
// chunk; PerFlush codes go into the accumulator between stores.
template <int PerFlush>
uint8_t* WriteData(const uint8_t* in, uint64_t n, const uint64_t* packed, uint8_t* out,
                   const Reporter& reporter, double base, double span, const Finished& finished) {
    BitWriter writer(out);
    for (uint64_t start = 0; start < n; start += kReportEvery) {
        const uint64_t end = std::min<uint64_t>(n, start + kReportEvery);
        const uint8_t* p = in + start;
        // Two stores per turn of the loop.
        for (const uint8_t* pairs = p + (end - start) / (2 * PerFlush) * (2 * PerFlush); p != pairs;
             p += 2 * PerFlush) {
            for (int k = 0; k < PerFlush; ++k)
                writer.PutPacked(packed[p[k]]);
            writer.Flush();
            for (int k = PerFlush; k < 2 * PerFlush; ++k)
                writer.PutPacked(packed[p[k]]);
            writer.Flush();
        }
        for (; p != in + end; ++p) {
            writer.PutPacked(packed[*p]);
            writer.Flush();
        }
        if (end - start == kReportEvery)
            reporter.Report(base +
                            static_cast<double>(end - 1) / static_cast<double>(n - 1) * span);
        if (end % kFinishedEvery == 0) finished.At(writer.Position());
    }
    return writer.Finish();
}

// Counts the bytes, reporting after every 1024.
std::array<uint64_t, 256> CountBytes(const uint8_t* in, uint64_t n, const Reporter& reporter,
                                     double base, double share) {
    uint32_t tables[4][256] = {};
    for (uint64_t start = 0; start < n; start += kReportEvery) {
        const uint64_t len = std::min<uint64_t>(kReportEvery, n - start);
        Count(in + start, len, tables);
        if (len == kReportEvery)
            reporter.Report(base + static_cast<double>(start + len - 1) /
                                       static_cast<double>(n - 1) * share);
    }
    std::array<uint64_t, 256> counts;
    for (int v = 0; v < 256; ++v)
        counts[v] = uint64_t{tables[0][v]} + tables[1][v] + tables[2][v] + tables[3][v];
    return counts;
}

// T, the table in leaf order (ascending byte value), the code bits and N;
// returns where the data starts.
uint8_t* WriteHeader(uint8_t* o, const Tree& tree, const Codes& codes, uint64_t n,
                     const Reporter& reporter, double base) {
    const uint64_t t = 2 * static_cast<uint64_t>(tree.leaves);
    StoreBigEndian32(o, static_cast<uint32_t>(t));
    BitWriter header(o + 4 + t);
    for (int leaf = 0; leaf < tree.leaves; ++leaf) {
        const int v = tree.symbol[leaf];
        o[4 + 2 * leaf] = static_cast<uint8_t>(v);
        o[5 + 2 * leaf] = codes.length[v];
        header.Put(codes.bits[v] << (64 - codes.length[v]), codes.length[v]);
        header.Flush();
    }
    uint8_t* nField = header.Finish();
    reporter.Set(base);
    StoreBigEndian32(nField, static_cast<uint32_t>(n));
    return nField + 4;
}

// The data bits, with as many codes per store as the longest code allows.
uint8_t* WriteAllData(const uint8_t* in, uint64_t n, const Codes& codes, uint8_t* data,
                      const Reporter& reporter, double base, double span,
                      const Finished& finished) {
    // Each entry: the code left-aligned, its length in the low 6 bits.
    uint64_t packed[256];
    for (int v = 0; v < 256; ++v)
        packed[v] =
            codes.length[v] == 0 ? 0 : codes.bits[v] << (64 - codes.length[v]) | codes.length[v];
    if (codes.maxLength <= 14)
        return WriteData<4>(in, n, packed, data, reporter, base, span, finished);
    if (codes.maxLength <= 18)
        return WriteData<3>(in, n, packed, data, reporter, base, span, finished);
    if (codes.maxLength <= 28)
        return WriteData<2>(in, n, packed, data, reporter, base, span, finished);
    return WriteData<1>(in, n, packed, data, reporter, base, span, finished);
}

void Compress(std::string_view input, ProgressSink* progress, int32_t progressBase,
              int32_t progressScale, int32_t progressSpan, const FinishedBytes* sink,
              std::string& out) {
    out.clear();
    const uint64_t n = input.size();
    if (n < 2) return;
    // N is a 32-bit field.
    if (n > 0xFFFFFFFFu) throw InvalidRequest("CompressHuffman: input larger than 4 GB");

    const Reporter reporter{progress, progressScale};
    const auto* in = reinterpret_cast<const uint8_t*>(input.data());
    int64_t base = progressBase;
    int64_t span = progressSpan;

    const int64_t share1 = span / 25;
    const std::array<uint64_t, 256> counts =
        CountBytes(in, n, reporter, static_cast<double>(base), static_cast<double>(share1));
    base += share1;
    span -= share1;
    reporter.Report(static_cast<double>(base));

    Tree tree;
    for (int v = 0; v < 256; ++v)
        if (counts[v] != 0) {
            tree.symbol[tree.size] = static_cast<uint8_t>(v);
            tree.Add(counts[v], -1, -1);
        }
    tree.leaves = tree.size;
    const int64_t share2 = span / 50;
    Merge(tree, n, reporter, static_cast<double>(base), static_cast<double>(share2));
    base += share2;
    span -= share2;
    reporter.Yield();
    const int64_t share3 = span / 20;

    Codes codes;
    AssignCodes(tree, codes);
    uint64_t codeBits = 0, dataBits = 0;
    for (int v = 0; v < 256; ++v) {
        codeBits += codes.length[v];
        dataBits += counts[v] * codes.length[v];
    }
    const uint64_t total = 4 + 2 * tree.leaves + (codeBits + 7) / 8 + 4 + (dataBits + 7) / 8;
    ResizeForFill(out, total + 8);
    auto* o = reinterpret_cast<uint8_t*>(out.data());
    base += share3;
    span -= share3;
    reporter.Yield();

    const double b = static_cast<double>(base), s = static_cast<double>(span);
    uint8_t* data = WriteHeader(o, tree, codes, n, reporter, b);
    uint8_t* end = WriteAllData(in, n, codes, data, reporter, b, s, Finished{sink, o});
    out.resize(static_cast<size_t>(end - o));
    reporter.Report(b + s);
}

} // namespace

std::string CompressHuffman(std::string_view input, ProgressSink* progress, int32_t progressBase,
                            int32_t progressScale, int32_t progressSpan) {
    std::string out;
    Compress(input, progress, progressBase, progressScale, progressSpan, nullptr, out);
    return out;
}

void CompressHuffmanStreaming(std::string_view input, std::string& out,
                              const FinishedBytes& finished) {
    Compress(input, nullptr, 0, 0, 0, &finished, out);
}

namespace {

// Codes [p, end) into writer, PerFlush codes between stores.
template <int PerFlush>
void EncodeRun(const uint8_t* p, const uint8_t* end, const uint64_t* packed, BitWriter& writer) {
    for (const uint8_t* groups = p + (end - p) / PerFlush * PerFlush; p != groups; p += PerFlush) {
        for (int k = 0; k < PerFlush; ++k)
            writer.PutPacked(packed[p[k]]);
        writer.Flush();
    }
    for (; p != end; ++p) {
        writer.PutPacked(packed[*p]);
        writer.Flush();
    }
}

} // namespace

struct HuffmanPieceEncoder::State {
    uint32_t counted[4][256] = {};
    uint32_t encoded[4][256] = {};
    uint64_t n = 0;
    Tree tree;
    Codes codes;
    uint64_t packed[256] = {};
    uint64_t acc = 0;
    unsigned bits = 0;
};

HuffmanPieceEncoder::HuffmanPieceEncoder() : s_(std::make_unique<State>()) {}
HuffmanPieceEncoder::~HuffmanPieceEncoder() = default;

void HuffmanPieceEncoder::Count(std::string_view piece) {
    ::Count(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), s_->counted);
    s_->n += piece.size();
}

namespace {

std::array<uint64_t, 256> Totals(const uint32_t (&tables)[4][256]) {
    std::array<uint64_t, 256> counts;
    for (int v = 0; v < 256; ++v)
        counts[v] = uint64_t{tables[0][v]} + tables[1][v] + tables[2][v] + tables[3][v];
    return counts;
}

} // namespace

uint64_t HuffmanPieceEncoder::Plan(std::string& header) {
    State& s = *s_;
    if (s.n < 2) return 0;
    if (s.n > 0xFFFFFFFFu) throw InvalidRequest("CompressHuffman: input larger than 4 GB");
    const std::array<uint64_t, 256> counts = Totals(s.counted);
    for (int v = 0; v < 256; ++v)
        if (counts[v] != 0) {
            s.tree.symbol[s.tree.size] = static_cast<uint8_t>(v);
            s.tree.Add(counts[v], -1, -1);
        }
    s.tree.leaves = s.tree.size;
    const Reporter quiet{nullptr, 0, false};
    Merge(s.tree, s.n, quiet, 0, 0);
    AssignCodes(s.tree, s.codes);
    uint64_t codeBits = 0, dataBits = 0;
    for (int v = 0; v < 256; ++v) {
        codeBits += s.codes.length[v];
        dataBits += counts[v] * s.codes.length[v];
        s.packed[v] = s.codes.length[v] == 0
                          ? 0
                          : s.codes.bits[v] << (64 - s.codes.length[v]) | s.codes.length[v];
    }
    const uint64_t headerSize = 4 + 2 * s.tree.leaves + (codeBits + 7) / 8 + 4;
    header.assign(headerSize + 8, '\0');
    auto* o = reinterpret_cast<uint8_t*>(header.data());
    WriteHeader(o, s.tree, s.codes, s.n, quiet, 0);
    header.resize(headerSize);
    return headerSize + (dataBits + 7) / 8;
}

void HuffmanPieceEncoder::Encode(std::string_view piece, std::string& out) {
    State& s = *s_;
    const auto* in = reinterpret_cast<const uint8_t*>(piece.data());
    // The piece's own counts size its bytes exactly (a piece held in a queue
    // holds no more than it needs), then join the counts of the pieces before.
    uint32_t counts[4][256] = {};
    ::Count(in, piece.size(), counts);
    uint64_t bits = s.bits;
    for (int v = 0; v < 256; ++v) {
        const uint32_t c = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        s.encoded[0][v] += c;
        bits += uint64_t{c} * s.codes.length[v];
    }
    // 8 bytes of room past the end for the last store.
    AppendFresh(out, bits / 8 + 16, [&](char* data, size_t) {
        auto* start = reinterpret_cast<uint8_t*>(data);
        BitWriter writer(start, s.acc, s.bits);
        const uint8_t* end = in + piece.size();
        if (s.codes.maxLength <= 14)
            EncodeRun<4>(in, end, s.packed, writer);
        else if (s.codes.maxLength <= 18)
            EncodeRun<3>(in, end, s.packed, writer);
        else if (s.codes.maxLength <= 28)
            EncodeRun<2>(in, end, s.packed, writer);
        else
            EncodeRun<1>(in, end, s.packed, writer);
        s.acc = writer.Acc();
        s.bits = writer.Bits();
        return static_cast<size_t>(writer.Position() - start);
    });
}

bool HuffmanPieceEncoder::Finish(std::string& out) {
    State& s = *s_;
    if (s.bits != 0) {
        uint8_t last[8];
        StoreBigEndian64(last, s.acc);
        out.push_back(static_cast<char>(last[0]));
        s.bits = 0;
        s.acc = 0;
    }
    return Totals(s.counted) == Totals(s.encoded);
}
