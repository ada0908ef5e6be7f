// DecompressHuffman: the header is read exactly as the plain tree walk reads
// it, the tree is built the same way, and the data is decoded through a
// lookup table that gives up to three symbols per lookup. Anything the table
// cannot settle (long codes, dead ends, the last bits of the input) goes
// through the one-bit-at-a-time walk, so bytes and errors match the plain
// decoder.
#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "huffman/BitIo.h"
#include "huffman/DecodeTables.h"
#include "huffman/Huffman.h"
#include "huffman/LargeBuffer.h"

namespace {

using huffman::CodeTree;
using huffman::EntryBits;
using huffman::EntryCount;
using huffman::EntryNode;
using huffman::LookupEntry;

constexpr uint32_t kReportEvery = 1024;

[[noreturn]] void Truncated() {
    throw DamagedInput("DecompressHuffman: stream ends early");
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
        if (sink) sink->Yield();
    }
};

class Decoder {
  public:
    // out has room for capacity bytes and 8 more. Decoding starts at bit
    // start of data; table may be null (every symbol walked bit by bit).
    // With hand, the result is handed to it in order instead of being
    // gathered in out, which then only serves as room to decode in.
    Decoder(const CodeTree& tree, const huffman::LookupTable* table, const uint8_t* data,
            uint64_t bytes, uint64_t start, uint8_t* out, uint64_t capacity, uint32_t n,
            const ReportPoints& report, const FinishedBytes* finished,
            const DecodedPiece* hand = nullptr)
        : tree_(tree), table_(table), data_(data), bits_(8 * bytes), out_(out), capacity_(capacity),
          n_(n), report_(report), finished_(finished), hand_(hand),
          nextReport_(report.scale != 0 ? kReportEvery - 1 : UINT64_MAX),
          safeEnd_(bytes >= 8 ? 8 * (bytes - 8) : 0), minDepth_(tree.MinLeafDepth()),
          lengthStep_(tree.LengthStep()), pos_(start) {}

    // Decodes all n bytes; throws as the plain walk does.
    void Run() {
        if (table_) {
            width_ = table_->width;
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
        if (hand_) HandOn();
    }

    // The bit the next symbol starts at.
    uint64_t Position() const { return pos_; }

  private:
    static constexpr uint64_t kFinishedEvery = uint64_t{1} << 20;
    static constexpr int kLanes = 6;
    static constexpr uint64_t kLaneBits = 8 * 32768;
    static constexpr int kBounds = 96;
    // Room left past the window for lookups that run over its end and for a
    // long code taken bit by bit (at most 511 bits with 512 nodes).
    static constexpr uint64_t kMargin = 1024;

    // Hands on the bytes decoded in place since the last handing.
    void HandOn() {
        if (count_ > handed_)
            (*hand_)(reinterpret_cast<const char*>(out_ + handed_), count_ - handed_);
        handed_ = count_;
    }

    void Report() {
        while (count_ >= nextReport_) {
            report_.At(nextReport_);
            nextReport_ += kReportEvery;
        }
    }

    // One symbol, one bit at a time from node, which stands at bit pos_.
    uint8_t DecodeOne(int node = 0) {
        for (;;) {
            if (pos_ >= bits_) Truncated();
            const int b = data_[pos_ >> 3] >> (7 - (pos_ & 7)) & 1;
            ++pos_;
            node = tree_.child[node][b];
            if (node < 0) throw HuffmanError();
            if (tree_.leaf[node] >= 0) return static_cast<uint8_t>(tree_.leaf[node]);
        }
    }

    uint64_t Bits(uint64_t pos) const { return LoadBigEndian64(data_ + (pos >> 3)) << (pos & 7); }

    LookupEntry Peek(uint64_t pos) const { return table_->entries[Bits(pos) >> (64 - width_)]; }

    // A long code goes on bit by bit from the node after the table's bits; a
    // dead end is walked again to fail where the plain walk fails.
    void NoWholeSymbol(LookupEntry e) {
        const int node = EntryNode(e);
        if (node != 0) pos_ += width_;
        out_[count_++] = DecodeOne(node);
    }

    // One chain of lookups from the decoder's own position until it reaches
    // limitPos or would put out more than limitCount bytes. Like the lanes it
    // takes several lookups per load of the data.
    void Sequential(uint64_t limitPos, uint64_t limitCount) {
        limitPos = std::min(limitPos, safeEnd_);
        const int group = std::min(57 / width_, 4);
        const LookupEntry* table = table_->entries.get();
        const int shift = 64 - width_;
        // As in the lanes, a lookup without a whole symbol takes no bits and
        // puts out nothing, so the ones after it repeat it and the group's
        // last lookup tells.
        while (pos_ < limitPos && count_ + 3 * group <= limitCount) {
            uint64_t bits = Bits(pos_);
            unsigned used = 0;
            LookupEntry e = 0;
            for (int k = 0; k < group; ++k) {
                e = table[bits >> shift];
                std::memcpy(out_ + count_, &e, 4);
                count_ += EntryCount(e);
                bits <<= EntryBits(e);
                used += EntryBits(e);
            }
            pos_ += used;
            if (EntryCount(e) == 0) NoWholeSymbol(e);
            if (count_ >= nextReport_) Report();
        }
        while (pos_ < limitPos && count_ + 3 <= limitCount) {
            const LookupEntry e = Peek(pos_);
            if (EntryCount(e) == 0) {
                NoWholeSymbol(e);
            } else {
                std::memcpy(out_ + count_, &e, 4);
                count_ += EntryCount(e);
                pos_ += EntryBits(e);
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
        const LookupEntry e = Peek(lane.pos);
        std::memcpy(lane.out, &e, 4);
        lane.out += EntryCount(e);
        lane.pos += EntryBits(e);
        if (EntryCount(e) != 0) [[likely]]
            return true;
        return LongCode(lane, EntryNode(e));
    }

    [[gnu::noinline]] bool LongCode(Lane& lane, int node) const {
        if (node == 0) return false;
        for (uint64_t p = lane.pos + width_; p < bits_;) {
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
        // Lane j writes from j regions past the decoder's count: every region
        // holds more than a lane can put out, so the output moves only
        // towards the front as the lanes are joined.
        constexpr uint64_t kRoomPerLane = 16;
        const uint64_t room = capacity_ - count_;
        if (room <= kLanes * kRoomPerLane) return false;
        const uint64_t fits = (room - kLanes * kRoomPerLane) * minDepth_;
        if (fits < kLanes * (kMargin + 512) || pos_ + kMargin >= safeEnd_) return false;
        uint64_t bits = std::min<uint64_t>(kLanes * kLaneBits, fits - kLanes * kMargin);
        bits = std::min(bits, safeEnd_ - pos_ - kMargin);
        if (bits < kLanes * 512) return false;

        // When every code length is a multiple of some g, the true symbol
        // boundaries lie g bits apart, and so do the lanes' starts.
        const uint64_t seg = bits / kLanes / lengthStep_ * lengthStep_;
        const uint64_t region = (seg + kMargin) / minDepth_ + kRoomPerLane;
        Lane lanes[kLanes];
        for (int j = 0; j < kLanes; ++j) {
            Lane& l = lanes[j];
            l.pos = pos_ + j * seg;
            l.end = j == kLanes - 1 ? pos_ + bits : l.pos + seg;
            l.first = out_ + count_ + j * region;
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
            if (j != 0 && hand_) {
                // Handed on where the lane left it, which saves moving it.
                HandOn();
                (*hand_)(reinterpret_cast<const char*>(l.first + from), len);
                handed_ = count_ + len;
            } else if (j != 0) {
                std::memmove(out_ + count_, l.first + from, len);
            }
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
        if (std::all_of(live, live + kLanes, [](bool b) { return b; })) InStep(lanes);
        // Each lane that still runs goes on alone.
        for (int j = 0; j < kLanes; ++j) {
            if (!live[j]) continue;
            Lane& l = lanes[j];
            while (l.pos < l.end && Step(l)) {
            }
        }
    }

    // With BMI2 the shifts by a variable count are single instructions.
    void InStep(Lane* lanes) const {
        const bool fourPerLoad = 57 / width_ >= 4;
#if defined(__x86_64__)
        static const bool bmi2 = __builtin_cpu_supports("bmi2");
        if (bmi2) return fourPerLoad ? LockstepBmi2<4>(lanes) : LockstepBmi2<3>(lanes);
#endif
        return fourPerLoad ? Lockstep<4>(lanes) : Lockstep<3>(lanes);
    }

#if defined(__x86_64__)
    template <int K> [[gnu::target("bmi2")]] void LockstepBmi2(Lane* lanes) const {
        Lockstep<K>(lanes);
    }
#endif

    // The lanes in step, K lookups per lane between loads of the data: a load
    // gives at least 57 bits and a lookup takes at most width bits. A lookup
    // without a whole symbol takes no bits, so the lane stands still until
    // the group ends and its long code is walked there.
    template <int K> [[gnu::always_inline]] inline void Lockstep(Lane* lanes) const {
        const LookupEntry* table = table_->entries.get();
        const int shift = 64 - width_;
        uint64_t pos[kLanes];
        uint8_t* out[kLanes];
        for (int j = 0; j < kLanes; ++j) {
            pos[j] = lanes[j].pos;
            out[j] = lanes[j].out;
        }
        const uint64_t groupBits = static_cast<uint64_t>(K) * width_;
        for (;;) {
            // The groups that every lane can take without leaving its
            // stretch, so that the groups themselves test nothing of it.
            uint64_t room = UINT64_MAX;
            for (int j = 0; j < kLanes; ++j)
                room = std::min(room, pos[j] < lanes[j].end ? lanes[j].end - pos[j] : 0);
            uint64_t groups = room / groupBits;
            if (groups == 0) break;
            uint64_t stuck = 0;
            LookupEntry e[kLanes];
            do {
                uint64_t bits[kLanes];
                // An entry's top byte is its bits plus 64 times its count,
                // and a group takes fewer than 64 bits, so one sum keeps
                // both: the bits taken below 64 and the symbols put out above.
                uint32_t taken[kLanes] = {};
                for (int j = 0; j < kLanes; ++j)
                    bits[j] = Bits(pos[j]);
                for (int k = 0; k < K; ++k) {
                    for (int j = 0; j < kLanes; ++j) {
                        e[j] = table[bits[j] >> shift];
                        std::memcpy(out[j] + (taken[j] >> 6), &e[j], 4);
                        const uint32_t top = e[j] >> 24;
                        bits[j] <<= top & 63;
                        taken[j] += top;
                    }
                }
                // A lane whose last lookup held no whole symbol: its entry
                // is below 2^30, the only ones whose difference is negative.
                for (int j = 0; j < kLanes; ++j) {
                    pos[j] += taken[j] & 63;
                    out[j] += taken[j] >> 6;
                    stuck |= uint64_t{e[j]} - (uint64_t{1} << 30);
                }
            } while (--groups != 0 && static_cast<int64_t>(stuck) >= 0);
            if (static_cast<int64_t>(stuck) < 0) [[unlikely]] {
                // A long code moves its lane on by more than a group.
                bool run = true;
                for (int j = 0; j < kLanes; ++j) {
                    if (EntryCount(e[j]) != 0 || !run) continue;
                    lanes[j].pos = pos[j];
                    lanes[j].out = out[j];
                    run = LongCode(lanes[j], EntryNode(e[j]));
                    pos[j] = lanes[j].pos;
                    out[j] = lanes[j].out;
                }
                if (!run) break;
            }
        }
        for (int j = 0; j < kLanes; ++j) {
            lanes[j].pos = pos[j];
            lanes[j].out = out[j];
        }
    }

    const CodeTree& tree_;
    const huffman::LookupTable* table_;
    const uint8_t* data_;
    uint64_t bits_;
    uint8_t* out_;
    uint64_t capacity_;
    uint32_t n_;
    ReportPoints report_;
    const FinishedBytes* finished_;
    const DecodedPiece* hand_;
    uint64_t handed_ = 0;
    uint64_t nextReport_;
    uint64_t safeEnd_;
    int minDepth_;
    int lengthStep_;
    int width_ = 0;
    uint64_t pos_;
    uint64_t count_ = 0;
};

// The lookup table for a stream of n symbols; false when none pays.
bool BuildTable(const CodeTree& tree, uint64_t n, huffman::LookupTable& table) {
    const int width = huffman::ChooseLookupWidth(tree, n);
    if (width > 0) huffman::BuildLookup(tree, width, table);
    return width > 0;
}

void Decompress(std::string_view input, ProgressSink* progress, int32_t progressBase,
                int32_t progressScale, int32_t progressSpan, const FinishedBytes* finished,
                std::string& out) {
    out.clear();
    if (input.empty()) return;
    const auto* in = reinterpret_cast<const uint8_t*>(input.data());
    huffman::Header h;
    huffman::ReadHeader(in, input.size(), h);

    if (progressScale != 0) {
        if (progress)
            progress->ValueSet(static_cast<float>(
                static_cast<double>(int64_t{progressBase} + progressSpan / 100) / progressScale));
        if (progress) progress->Yield();
    }
    const double spanLeft = static_cast<double>(int64_t{progressSpan} - progressSpan / 100);

    // Every output byte takes at least the shallowest leaf's depth in bits, so
    // no more than this many bytes can come out of the data that exists; a
    // larger N fails on the way (dead end or end of data), as the walk does.
    const uint64_t dataBytes = input.size() - h.dataStart;
    const int minDepth = h.tree.MinLeafDepth();
    const uint64_t possible = minDepth == 0 ? 0 : 8 * dataBytes / minDepth;
    const uint64_t room = std::min<uint64_t>(h.n, possible);

    // Sized by what the data can hold, not by what a damaged N claims.
    huffman::LookupTable table;
    const bool useTable = BuildTable(h.tree, room, table);
    FillFresh(out, room + 8, [&](char* data, size_t) {
        Decoder decoder(h.tree, useTable ? &table : nullptr, in + h.dataStart, dataBytes, 0,
                        reinterpret_cast<uint8_t*>(data), room, h.n,
                        {progress, progressBase, progressScale, spanLeft, h.n}, finished);
        decoder.Run();
        return size_t{h.n};
    });
}

} // namespace

std::string DecompressHuffman(std::string_view input, ProgressSink* progress, int32_t progressBase,
                              int32_t progressScale, int32_t progressSpan) {
    std::string out;
    Decompress(input, progress, progressBase, progressScale, progressSpan, nullptr, out);
    return out;
}

void DecompressHuffmanStreaming(std::string_view input, std::string& out,
                                const FinishedBytes& finished) {
    Decompress(input, nullptr, 0, 0, 0, &finished, out);
}

namespace {

// A header holds at most 256 table entries of 2 bytes and 256 codes of up to
// 255 bits: it always lies within the window's first bytes.
constexpr size_t kInputWindow = size_t{4} << 20;
constexpr size_t kOutputPiece = size_t{1} << 20;

// The stream's bytes held in memory: [base, base + held) of size in all.
struct InputWindow {
    std::string bytes;
    uint64_t base = 0;
    size_t held = 0;
    uint64_t size;
    const StreamBytes& read;

    InputWindow(uint64_t streamSize, const StreamBytes& reader)
        : bytes(std::min<uint64_t>(streamSize, kInputWindow), '\0'), size(streamSize),
          read(reader) {
        held = bytes.size();
        read(0, bytes.data(), held);
    }

    bool AtEnd() const { return base + held == size; }

    // Keeps the bytes from offset at on and reads more behind them, once
    // less than an eighth of the window is left to decode: the bytes kept
    // are moved, so the less is kept the less is moved.
    void Slide(uint64_t at) {
        const size_t keep = held - static_cast<size_t>(at - base);
        if (AtEnd() || keep >= bytes.size() / 8) return;
        std::memmove(bytes.data(), bytes.data() + (at - base), keep);
        base = at;
        held = static_cast<size_t>(std::min<uint64_t>(bytes.size(), size - base));
        read(base + keep, bytes.data() + keep, held - keep);
    }
};

} // namespace

void DecompressHuffmanInPieces(uint64_t size, const StreamBytes& read, const DecodedPiece& out,
                               uint64_t limit) {
    if (size == 0) return;
    InputWindow window(size, read);
    const auto* in = reinterpret_cast<const uint8_t*>(window.bytes.data());
    huffman::Header h;
    huffman::ReadHeader(in, window.held, h);

    // The same table as the whole stream's decode chooses.
    const int minDepth = h.tree.MinLeafDepth();
    const uint64_t possible = minDepth == 0 ? 0 : 8 * (size - h.dataStart) / minDepth;
    huffman::LookupTable table;
    const bool useTable = BuildTable(h.tree, std::min<uint64_t>(h.n, possible), table);
    // A walk takes at most one bit more than the deepest code before it ends
    // at a leaf or a dead end, so a stretch of the window that is not the
    // stream's end is never cut short within this many symbols.
    const uint64_t walkBits = static_cast<uint64_t>(h.tree.deepest) + 1;

    std::string piece(kOutputPiece + 8, '\0');
    uint64_t at = h.dataStart; // the byte of the stream that holds the next bit
    uint64_t bit = 0;
    for (uint64_t left = std::min<uint64_t>(h.n, limit); left > 0;) {
        window.Slide(at);
        const size_t offset = static_cast<size_t>(at - window.base);
        const size_t bytes = window.held - offset;
        uint64_t count = std::min<uint64_t>(left, kOutputPiece);
        if (!window.AtEnd()) count = std::min(count, (8 * bytes - bit) / walkBits);
        Decoder decoder(h.tree, useTable ? &table : nullptr, in + offset, bytes, bit,
                        reinterpret_cast<uint8_t*>(piece.data()), count,
                        static_cast<uint32_t>(count), {nullptr, 0, 0, 0, 0}, nullptr, &out);
        decoder.Run();
        left -= count;
        at += decoder.Position() / 8;
        bit = decoder.Position() % 8;
    }
}
