// The Huffman codec: a static Huffman code over byte values with its code
// table in the stream's header. Streams are byte-exact: equal inputs always
// give equal streams, and the template files are stored in this form.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "huffman/Progress.h"

// The decoder's own error: number 10, source "DecompressHuffman".
class HuffmanError : public std::runtime_error {
public:
    HuffmanError();
    int Number() const { return 10; }
    const char* Source() const { return "DecompressHuffman"; }
};

// Compresses input. progress may be null when progressScale is 0; the value
// shown is (progressBase + the part of progressSpan done) / progressScale.
std::string CompressHuffman(std::string_view input, ProgressSink* progress = nullptr,
                            int32_t progressBase = 0, int32_t progressScale = 0,
                            int32_t progressSpan = 0);

// Decompresses a stream. Throws HuffmanError on a dead end in the code tree
// and std::out_of_range for a stream that is truncated or whose tables are
// too large.
std::string DecompressHuffman(std::string_view input, ProgressSink* progress = nullptr,
                              int32_t progressBase = 0, int32_t progressScale = 0,
                              int32_t progressSpan = 0);
