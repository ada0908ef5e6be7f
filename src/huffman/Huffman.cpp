#include "huffman/Huffman.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "huffman/BitIo.h"
#include "huffman/LargeBuffer.h"

namespace {

// Shows value / scale on the sink when a scale is set, and yields in any case.
struct Reporter {
    ProgressSink* sink;
    int32_t scale;

    void Set(double value) const {
        if (scale != 0 && sink) sink->ValueSet(static_cast<float>(value / scale));
    }
    void Report(double value) const {
        Set(value);
        YieldToEventLoop();
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
// not wait on the same counter.
void Count(const uint8_t* p, size_t len, std::array<uint32_t, 256>* tables) {
    size_t i = 0;
    for (; i + 4 <= len; i += 4) {
        ++tables[0][p[i]];
        ++tables[1][p[i + 1]];
        ++tables[2][p[i + 2]];
        ++tables[3][p[i + 3]];
    }
    for (; i < len; ++i)
        ++tables[0][p[i]];
}

struct Tree {
    // Node numbers follow creation: the leaves by ascending byte value, then
    // the merged nodes.
    std::vector<uint64_t> weight;
    std::vector<int> one, zero, parent, symbol;

    int Add(uint64_t w, int sym, int oneChild, int zeroChild) {
        weight.push_back(w);
        symbol.push_back(sym);
        one.push_back(oneChild);
        zero.push_back(zeroChild);
        parent.push_back(-1);
        return static_cast<int>(weight.size()) - 1;
    }
};

// Appends codes of up to 57 bits, most significant bit first, with a 64-bit
// accumulator whose valid bits sit at the top; several codes go out per
// 8-byte store. The buffer needs 8 bytes of room past the last byte written.
class BitWriter {
  public:
    explicit BitWriter(uint8_t* out) : out_(out) {}

    // code is left-aligned; bits_ + length must stay within 64.
    void Put(uint64_t code, unsigned length) {
        acc_ |= code >> bits_;
        bits_ += length;
    }
    void Flush() {
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
        uint64_t p = start;
        for (; p + PerFlush <= end; p += PerFlush) {
            for (int k = 0; k < PerFlush; ++k) {
                const uint64_t e = packed[in[p + k]];
                writer.Put(e & ~uint64_t{63}, static_cast<unsigned>(e & 63));
            }
            writer.Flush();
        }
        for (; p < end; ++p) {
            const uint64_t e = packed[in[p]];
            writer.Put(e & ~uint64_t{63}, static_cast<unsigned>(e & 63));
            writer.Flush();
        }
        if (end - start == kReportEvery)
            reporter.Report(base +
                            static_cast<double>(end - 1) / static_cast<double>(n - 1) * span);
        if (end % kFinishedEvery == 0) finished.At(writer.Position());
    }
    return writer.Finish();
}

// For codes longer than 57 bits, which only inputs far beyond 4 GB could
// produce: one bit at a time.
uint8_t* WriteDataLong(const uint8_t* in, uint64_t n,
                       const std::array<std::vector<bool>, 256>& codes, uint8_t* out,
                       const Reporter& reporter, double base, double span) {
    uint64_t bitPos = 0;
    for (uint64_t p = 0; p < n; ++p) {
        for (bool b : codes[in[p]]) {
            if (b) out[bitPos >> 3] |= static_cast<uint8_t>(0x80u >> (bitPos & 7));
            ++bitPos;
        }
        if (p % kReportEvery == kReportEvery - 1)
            reporter.Report(base + static_cast<double>(p) / static_cast<double>(n - 1) * span);
    }
    return out + (bitPos + 7) / 8;
}

} // namespace

namespace {

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

    // Count, reporting after every 1024 bytes.
    const int64_t share1 = span / 25;
    std::array<uint32_t, 256> tables[4] = {};
    for (uint64_t start = 0; start < n; start += kReportEvery) {
        const uint64_t len = std::min<uint64_t>(kReportEvery, n - start);
        Count(in + start, len, tables);
        if (len == kReportEvery)
            reporter.Report(base + static_cast<double>(start + len - 1) /
                                       static_cast<double>(n - 1) * share1);
    }
    std::array<uint64_t, 256> counts{};
    for (int v = 0; v < 256; ++v)
        counts[v] = uint64_t{tables[0][v]} + tables[1][v] + tables[2][v] + tables[3][v];
    base += share1;
    span -= share1;
    reporter.Report(static_cast<double>(base));

    Tree tree;
    for (int v = 0; v < 256; ++v)
        if (counts[v] != 0) tree.Add(counts[v], v, -1, -1);
    const int leaves = static_cast<int>(tree.weight.size());

    // Merge the two lightest free nodes until one is left. The candidates
    // start heavier than any node; a node is taken only when strictly lighter
    // than the heavier candidate, and it replaces B only when B is strictly
    // heavier than A (so equal candidates let A go first).
    const int64_t share2 = span / 50;
    for (int free = leaves; free >= 2; --free) {
        const uint64_t start = 2 * n;
        uint64_t wa = start, wb = start;
        int a = -1, b = -1;
        const int count = static_cast<int>(tree.weight.size());
        for (int i = 0; i < count; ++i) {
            if (tree.parent[i] >= 0) continue;
            const uint64_t w = tree.weight[i];
            if (w >= std::max(wa, wb)) continue;
            if (wb > wa) {
                b = i;
                wb = w;
            } else {
                a = i;
                wa = w;
            }
        }
        const int m = tree.Add(wa + wb, -1, a, b);
        tree.parent[a] = m;
        tree.parent[b] = m;
        if (free % 1024 == 2)
            reporter.Report(base + static_cast<double>(m - free + 1) / m * share2);
    }
    base += share2;
    span -= share2;
    YieldToEventLoop();
    const int64_t share3 = span / 20;

    // Codes: from each leaf up to the root. A lone leaf (one distinct value)
    // gets the 1-bit code 0 so that every stored code is readable.
    std::array<std::vector<bool>, 256> codes;
    size_t maxLength = 0;
    for (int leaf = 0; leaf < leaves; ++leaf) {
        std::vector<bool> code;
        for (int node = leaf; tree.parent[node] >= 0; node = tree.parent[node]) {
            const int p = tree.parent[node];
            if (tree.one[p] == node)
                code.push_back(true);
            else if (tree.zero[p] == node)
                code.push_back(false);
            else
                return; // "error creating bitpatern": cannot happen with the tree above
        }
        if (leaves == 1) code.push_back(false);
        std::reverse(code.begin(), code.end());
        maxLength = std::max(maxLength, code.size());
        codes[tree.symbol[leaf]] = std::move(code);
    }

    uint64_t codeBits = 0, dataBits = 0;
    for (int v = 0; v < 256; ++v) {
        codeBits += codes[v].size();
        dataBits += counts[v] * codes[v].size();
    }
    const uint64_t t = 2 * static_cast<uint64_t>(leaves);
    const uint64_t headerSize = 4 + t + (codeBits + 7) / 8 + 4;
    const uint64_t total = headerSize + (dataBits + 7) / 8;

    ResizeForFill(out, total + 8);
    auto* o = reinterpret_cast<uint8_t*>(out.data());
    base += share3;
    span -= share3;
    YieldToEventLoop();

    StoreBigEndian32(o, static_cast<uint32_t>(t));
    uint64_t bitPos = 8 * (4 + t);
    for (int leaf = 0; leaf < leaves; ++leaf) {
        const int v = tree.symbol[leaf];
        o[4 + 2 * leaf] = static_cast<uint8_t>(v);
        o[5 + 2 * leaf] = static_cast<uint8_t>(codes[v].size());
        for (bool b : codes[v]) {
            if (b) o[bitPos >> 3] |= static_cast<uint8_t>(0x80u >> (bitPos & 7));
            ++bitPos;
        }
    }
    reporter.Set(static_cast<double>(base));
    StoreBigEndian32(o + headerSize - 4, static_cast<uint32_t>(n));

    uint8_t* data = o + headerSize;
    const Finished finished{sink, o};
    uint8_t* end;
    const double b = static_cast<double>(base), s = static_cast<double>(span);
    if (maxLength <= 57) {
        // Each entry: the code left-aligned, its length in the low 6 bits.
        uint64_t packed[256] = {};
        for (int v = 0; v < 256; ++v) {
            uint64_t code = 0;
            for (bool bit : codes[v])
                code = code << 1 | bit;
            const size_t len = codes[v].size();
            packed[v] = len == 0 ? 0 : (code << (64 - len)) | len;
        }
        if (maxLength <= 14)
            end = WriteData<4>(in, n, packed, data, reporter, b, s, finished);
        else if (maxLength <= 18)
            end = WriteData<3>(in, n, packed, data, reporter, b, s, finished);
        else if (maxLength <= 28)
            end = WriteData<2>(in, n, packed, data, reporter, b, s, finished);
        else
            end = WriteData<1>(in, n, packed, data, reporter, b, s, finished);
    } else {
        end = WriteDataLong(in, n, codes, data, reporter, b, s);
    }
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
