// The decoder in its plain form: the code tree walked one bit at a time,
// straight from the stream's rules. DecompressHuffman must give the same
// bytes and the same errors; the tests and the benchmark compare the two.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Progress.h"

std::string DecompressHuffmanPlain(std::string_view input, ProgressSink* progress = nullptr,
                                   int32_t progressBase = 0, int32_t progressScale = 0,
                                   int32_t progressSpan = 0);
