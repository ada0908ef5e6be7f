#include "HuffmanPlain.h"

#include <array>
#include <stdexcept>
#include <vector>

#include "huffman/Huffman.h"

namespace {

struct Node {
    int zero = -1;
    int one = -1;
    int parent = -1;
    int symbol = -1;
    bool leaf = false;
};

constexpr size_t kMaxNodes = 512;
constexpr size_t kMaxEntries = 256;

uint8_t ByteAt(std::string_view input, uint64_t offset) {
    if (offset >= input.size()) throw DamagedInput("DecompressHuffman: stream ends early");
    return static_cast<uint8_t>(input[offset]);
}

uint32_t Long(std::string_view input, uint64_t offset) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | ByteAt(input, offset + i);
    return v;
}

// The codes of the table's symbols, one character "0" or "1" per bit; next
// is where the code bits start and ends after them.
std::array<std::string, 256> ReadCodes(std::string_view input, uint64_t t, uint64_t& next) {
    std::vector<std::array<uint8_t, 2>> table;
    // The table is read in steps of 2 up to offset T + 3, so an odd T gives
    // one entry more, whose second byte is the first byte of the code bits.
    for (uint64_t offset = 4; offset < t + 4; offset += 2) {
        if (table.size() == kMaxEntries)
            throw DamagedInput("DecompressHuffman: code table too large");
        table.push_back({ByteAt(input, offset), ByteAt(input, offset + 1)});
    }
    std::array<std::string, 256> codes;
    next = 4 + t;
    int bit = -1;
    uint8_t current = 0;
    for (const auto& [symbol, length] : table) {
        for (int i = 0; i < length; ++i) {
            if (bit < 0) {
                current = ByteAt(input, next++);
                bit = 7;
            }
            codes[symbol] += (current >> bit & 1) ? '1' : '0';
            --bit;
        }
    }
    return codes;
}

// The code tree, the codes taken by ascending byte value.
std::vector<Node> BuildTree(const std::array<std::string, 256>& codes) {
    std::vector<Node> nodes(1);
    nodes.reserve(kMaxNodes); // references into the table stay valid
    for (int value = 0; value < 256; ++value) {
        if (codes[value].empty()) continue;
        int node = 0;
        for (char c : codes[value]) {
            int& child = c == '1' ? nodes[node].one : nodes[node].zero;
            if (child < 0) {
                if (nodes.size() == kMaxNodes)
                    throw DamagedInput("DecompressHuffman: code tree too large");
                child = static_cast<int>(nodes.size());
                Node fresh;
                fresh.parent = node;
                nodes.push_back(fresh);
            }
            node = child;
        }
        nodes[node].symbol = value;
        nodes[node].leaf = true;
    }
    return nodes;
}

} // namespace

std::string DecompressHuffmanPlain(std::string_view input, ProgressSink* progress,
                                   int32_t progressBase, int32_t progressScale,
                                   int32_t progressSpan) {
    if (input.empty()) return {};

    uint64_t next = 0;
    const std::array<std::string, 256> codes = ReadCodes(input, Long(input, 0), next);
    const uint32_t n = Long(input, next);
    const std::vector<Node> nodes = BuildTree(codes);

    if (progressScale != 0) {
        if (progress)
            progress->ValueSet(static_cast<float>(
                static_cast<double>(int64_t{progressBase} + progressSpan / 100) / progressScale));
        if (progress) progress->Yield();
    }
    const int64_t spanLeft = int64_t{progressSpan} - progressSpan / 100;

    std::string out;
    uint64_t offset = next + 4;
    int bitPos = 7;
    int node = 0;
    uint32_t count = 0;
    while (count < n) {
        const int b = ByteAt(input, offset) >> bitPos & 1;
        if (--bitPos < 0) {
            bitPos = 7;
            ++offset;
        }
        const int child = b ? nodes[node].one : nodes[node].zero;
        if (child < 0) throw HuffmanError();
        node = child;
        if (nodes[node].leaf) {
            out.push_back(static_cast<char>(nodes[node].symbol));
            ++count;
            node = 0;
            if (count % 1024 == 1023 && progressScale != 0) {
                if (progress)
                    progress->ValueSet(static_cast<float>(
                        (progressBase + static_cast<double>(count) / n * spanLeft) /
                        progressScale));
                if (progress) progress->Yield();
            }
        }
    }
    return out;
}
