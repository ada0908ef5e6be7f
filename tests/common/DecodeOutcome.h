// Which way a decode ended: "ok:" and its bytes, "dead end" or "range". The
// tests and the decode fuzz target compare decoders by it, the decoder in
// pieces among them.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "huffman/Huffman.h"

inline std::string Outcome(std::string (*decode)(std::string_view, ProgressSink*, int32_t, int32_t,
                                                 int32_t),
                           const std::string& stream) {
    try {
        return "ok:" + decode(stream, nullptr, 0, 0, 0);
    } catch (const HuffmanError&) {
        return "dead end";
    } catch (const DamagedInput&) {
        return "range";
    }
}

// DecompressHuffmanInPieces with DecompressHuffman's arguments: the stream
// read from memory, the pieces joined.
inline std::string DecompressJoined(std::string_view stream, ProgressSink*, int32_t, int32_t,
                                    int32_t) {
    std::string out;
    DecompressHuffmanInPieces(
        stream.size(),
        [&](uint64_t at, char* data, size_t count) {
            std::memcpy(data, stream.data() + at, count);
        },
        [&](const char* data, size_t count) { out.append(data, count); });
    return out;
}
