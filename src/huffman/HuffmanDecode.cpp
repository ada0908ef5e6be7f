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
#include "huffman/LargeBuffer.h"

namespace {

constexpr size_t kMaxNodes = 512;
constexpr size_t kMaxEntries = 256;
constexpr uint32_t kReportEvery = 1024;

[[noreturn]] void Truncated() {
    throw DamagedInput("DecompressHuffman: stream ends early");
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
            throw DamagedInput("DecompressHuffman: code tree too large");
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
    if (entries > kMaxEntries) throw DamagedInput("DecompressHuffman: code table too large");
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
    int16_t node; // with count 0: the node after all kLookupBits bits, or -1 for a dead end
};

std::vector<Lookup> BuildLookup(const CodeTree& tree) {
    std::vector<Lookup> table(size_t{1} << kLookupBits);
    for (uint32_t x = 0; x < table.size(); ++x) {
        Lookup e{0, 0, 0, -1};
        int node = 0;
        for (int i = 0; i < kLookupBits && e.count < 4; ++i) {
            const int c = tree.child[node][x >> (kLookupBits - 1 - i) & 1];
            if (c < 0) {
                node = -1;
                break;
            }
            node = c;
            if (tree.leaf[node] >= 0) {
                e.symbols |= static_cast<uint32_t>(tree.leaf[node]) << (8 * e.count);
                ++e.count;
                e.bits = static_cast<uint8_t>(i + 1);
                node = 0;
            }
        }
        if (e.count == 0) e.node = static_cast<int16_t>(node);
        table[x] = e;
    }
    return table;
}

// Where a decode chain stood after one of its first lookups: a bit position
// at which it was back at the root, and how many bytes it had put out.
struct Bound {
    uint64_t pos;
    uint64_t out;
};

// Calls back at every output count of 1023, 2047, ... as the plain walk
// reports; does nothing without a progress scale.
struct ReportPoints {
    ProgressSink* sink;
    int32_t base;
    int32_t scale;
    double spanLeft;
    uint32_t n;

    void At(uint64_t count) const {
        if (sink)
            sink->ValueSet(
                static_cast<float>((base + static_cast<double>(count) / n * spanLeft) / scale));
        YieldToEventLoop();
    }
};

class Decoder {
  public:
    Decoder(const CodeTree& tree, const uint8_t* data, uint64_t bytes, uint8_t* out, uint32_t n,
            const ReportPoints& report, const FinishedBytes* finished)
        : tree_(tree), data_(data), bits_(8 * bytes), out_(out), n_(n), report_(report),
          finished_(finished),
          nextReport_(report.scale != 0 ? kReportEvery - 1 : UINT64_MAX),
          safeEnd_(bytes >= 8 ? 8 * (bytes - 8) : 0), minDepth_(tree.MinLeafDepth()) {}

    // Decodes all N bytes; throws as the plain walk does.
    void Run() {
        // Building the table costs about as much as decoding a few thousand bytes bit by bit.
        if (n_ >= 2048 && minDepth_ > 0) {
            lookup_ = BuildLookup(tree_);
            uint64_t told = 0;
            while (Window()) {
                if (finished_ && count_ - told >= kFinishedEvery) {
                    (*finished_)(reinterpret_cast<const char*>(out_), count_);
                    told = count_;
                }
            }
            Sequential(safeEnd_, n_);
        }
        while (count_ < n_) {
            out_[count_++] = DecodeOne();
            Report();
        }
    }

  private:
    static constexpr uint64_t kFinishedEvery = uint64_t{1} << 20;
    static constexpr int kLanes = 4;
    static constexpr uint64_t kLaneBits = 8 * 16384;
    static constexpr int kBounds = 48;
    // Room left past the window for lookups that run over its end and for a
    // long code taken bit by bit (at most 511 bits with 512 nodes).
    static constexpr uint64_t kMargin = 1024;

    void Report() {
        while (count_ >= nextReport_) {
            report_.At(nextReport_);
            nextReport_ += kReportEvery;
        }
    }

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

    Lookup Peek(uint64_t pos) const {
        const uint64_t w = LoadBigEndian64(data_ + (pos >> 3)) << (pos & 7);
        return lookup_[w >> (64 - kLookupBits)];
    }

    // One chain of lookups from the decoder's own position until it reaches
    // limitPos or would put out more than limitCount bytes.
    void Sequential(uint64_t limitPos, uint64_t limitCount) {
        limitPos = std::min(limitPos, safeEnd_);
        while (pos_ < limitPos && count_ + 4 <= limitCount) {
            const Lookup e = Peek(pos_);
            if (e.count == 0) {
                out_[count_++] = DecodeOne();
            } else {
                std::memcpy(out_ + count_, &e.symbols, 4);
                count_ += e.count;
                pos_ += e.bits;
            }
            if (count_ >= nextReport_) Report();
        }
    }

    struct Lane {
        uint64_t pos;
        uint64_t end;
        uint8_t* out;
        uint8_t* first;
        Bound bounds[kBounds];
        int bounded;
    };

    // A lane takes one lookup, or for a long code walks on bit by bit from
    // where the lookup ended. False on a dead end or at the end of the data,
    // where the lane stops: its guess may be wrong, and if it is not, the
    // single chain meets the same error in order.
    bool Step(Lane& lane) const {
        const Lookup e = Peek(lane.pos);
        std::memcpy(lane.out, &e.symbols, 4);
        lane.out += e.count;
        lane.pos += e.bits;
        if (e.count != 0) [[likely]]
            return true;
        return LongCode(lane, e.node);
    }

    [[gnu::noinline]] bool LongCode(Lane& lane, int node) const {
        if (node < 0) return false;
        for (uint64_t p = lane.pos + kLookupBits; p < bits_;) {
            node = tree_.child[node][data_[p >> 3] >> (7 - (p & 7)) & 1];
            ++p;
            if (node < 0) return false;
            if (tree_.leaf[node] >= 0) {
                *lane.out++ = static_cast<uint8_t>(tree_.leaf[node]);
                lane.pos = p;
                return true;
            }
        }
        return false;
    }

    // Decodes the next stretch of the stream with kLanes chains at once. Lane
    // 0 starts at the decoder's position; the others start at guessed bit
    // positions and, as prefix codes resynchronise, soon fall into step with
    // the true symbol boundaries. Each lane records its first positions; the
    // decoder then walks symbol by symbol from the end of one lane until it
    // stands on a position the next lane recorded, and takes that lane's
    // output from there. A lane that never meets the true boundaries within
    // its record is decoded again by the single chain.
    bool Window() {
        const uint64_t left = n_ - count_;
        if (left < 2 * kMargin) return false;
        uint64_t bits = std::min<uint64_t>(kLanes * kLaneBits, (left - 16) * minDepth_ - kMargin);
        if (pos_ + kMargin >= safeEnd_) return false;
        bits = std::min(bits, safeEnd_ - pos_ - kMargin);
        if (bits < kLanes * 512) return false;

        const uint64_t seg = bits / kLanes;
        if (scratch_.empty()) scratch_.resize((kLanes - 1) * ScratchPerLane());
        Lane lanes[kLanes];
        for (int j = 0; j < kLanes; ++j) {
            Lane& l = lanes[j];
            l.pos = pos_ + j * seg;
            l.end = j == kLanes - 1 ? pos_ + bits : l.pos + seg;
            l.first = j == 0 ? out_ + count_ : scratch_.data() + (j - 1) * ScratchPerLane();
            l.out = l.first;
            l.bounds[0] = {l.pos, 0};
            l.bounded = 1;
        }
        RunLanes(lanes);

        for (int j = 0; j < kLanes; ++j) {
            Lane& l = lanes[j];
            if (pos_ < l.bounds[0].pos) Sequential(l.bounds[0].pos, n_);
            int k = 0;
            for (;;) {
                while (k < l.bounded && l.bounds[k].pos < pos_)
                    ++k;
                if (k == l.bounded || l.bounds[k].pos == pos_) break;
                out_[count_++] = DecodeOne();
                Report();
            }
            if (k == l.bounded) continue;
            const uint64_t from = l.bounds[k].out;
            const uint64_t len = static_cast<uint64_t>(l.out - l.first) - from;
            if (j != 0) std::memcpy(out_ + count_, l.first + from, len);
            count_ += len;
            pos_ = l.pos;
            Report();
        }
        return true;
    }

    void RunLanes(Lane* lanes) const {
        bool live[kLanes];
        for (int j = 0; j < kLanes; ++j)
            live[j] = true;
        // The first lookups, recording where each lane stands.
        for (int r = 1; r < kBounds; ++r) {
            for (int j = 0; j < kLanes; ++j) {
                Lane& l = lanes[j];
                if (!live[j]) continue;
                if (l.pos >= l.end || !Step(l)) {
                    live[j] = false;
                    continue;
                }
                l.bounds[l.bounded++] = {l.pos, static_cast<uint64_t>(l.out - l.first)};
            }
        }
        // Then all lanes in lockstep, while every one of them runs.
        if (live[0] && live[1] && live[2] && live[3]) {
            Lane &a = lanes[0], &b = lanes[1], &c = lanes[2], &d = lanes[3];
            while (a.pos < a.end && b.pos < b.end && c.pos < c.end && d.pos < d.end) {
                const int ok = int{Step(a)} & int{Step(b)} & int{Step(c)} & int{Step(d)};
                if (!ok) break;
            }
        }
        // Each lane that still runs goes on alone.
        for (int j = 0; j < kLanes; ++j) {
            if (!live[j]) continue;
            Lane& l = lanes[j];
            while (l.pos < l.end && Step(l)) {
            }
        }
    }

    size_t ScratchPerLane() const { return (2 * kLaneBits + kMargin) / minDepth_ + 16; }

    const CodeTree& tree_;
    const uint8_t* data_;
    uint64_t bits_;
    uint8_t* out_;
    uint32_t n_;
    ReportPoints report_;
    const FinishedBytes* finished_;
    uint64_t nextReport_;
    uint64_t safeEnd_;
    int minDepth_;
    uint64_t pos_ = 0;
    uint64_t count_ = 0;
    std::vector<Lookup> lookup_;
    std::vector<uint8_t> scratch_;
};

} // namespace

namespace {

void Decompress(std::string_view input, ProgressSink* progress, int32_t progressBase,
                int32_t progressScale, int32_t progressSpan, const FinishedBytes* finished,
                std::string& out) {
    out.clear();
    if (input.empty()) return;
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

    ResizeForFill(out, room + 8);
    Decoder decoder(h.tree, in + h.dataStart, dataBytes, reinterpret_cast<uint8_t*>(out.data()),
                    h.n, {progress, progressBase, progressScale, spanLeft, h.n}, finished);
    decoder.Run();
    out.resize(h.n);
}

} // namespace

std::string DecompressHuffman(std::string_view input, ProgressSink* progress,
                              int32_t progressBase, int32_t progressScale, int32_t progressSpan) {
    std::string out;
    Decompress(input, progress, progressBase, progressScale, progressSpan, nullptr, out);
    return out;
}

void DecompressHuffmanStreaming(std::string_view input, std::string& out,
                                const FinishedBytes& finished) {
    Decompress(input, nullptr, 0, 0, 0, &finished, out);
}
