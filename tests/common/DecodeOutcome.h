// Which way a decode ended: "ok:" and its bytes, "dead end" or "range". The
// tests and the decode fuzz target compare decoders by it.
#pragma once

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
