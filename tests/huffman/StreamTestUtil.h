// Shared by the codec's tests: streams put together by hand, and the check
// that the fast decoder ends every stream exactly as the plain tree walk does.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "DecodeOutcome.h"
#include "HuffmanPlain.h"

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// '0'/'1' text packed most significant bit first, the last byte padded with 0.
inline std::string PackBits(const std::string& bits) {
    std::string out((bits.size() + 7) / 8, '\0');
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1') out[i / 8] = static_cast<char>(out[i / 8] | 0x80 >> (i % 8));
    return out;
}

// A stream put together by hand: table entries with their code bits given as
// '0'/'1' text, then N and the data bits.
inline std::string MakeStream(const std::vector<std::pair<int, std::string>>& entries, uint32_t n,
                              const std::string& dataBits) {
    auto be32 = [](uint32_t v) {
        return Bytes({int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)});
    };
    std::string s = be32(static_cast<uint32_t>(2 * entries.size()));
    std::string codeBits;
    for (const auto& [symbol, code] : entries) {
        s += Bytes({symbol, static_cast<int>(code.size())});
        codeBits += code;
    }
    return s + PackBits(codeBits) + be32(n) + PackBits(dataBits);
}

// Returns the outcome's kind: "ok", "dead end" or "range".
inline std::string ExpectSameAsPlain(const std::string& stream) {
    const std::string plain = Outcome(DecompressHuffmanPlain, stream);
    for (auto decode : {DecompressHuffman, DecompressJoined}) {
        const std::string fast = Outcome(decode, stream);
        EXPECT_EQ(plain.size(), fast.size());
        EXPECT_TRUE(plain == fast)
            << "first difference at "
            << std::mismatch(plain.begin(), plain.end(), fast.begin()).first - plain.begin();
    }
    return plain.substr(0, 3) == "ok:" ? "ok" : plain;
}
