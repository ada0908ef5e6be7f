// Compressing a file's contents with the codec its project chose: kept apart
// from the codec names, so that a program that only reads setups (the setup
// runtime) links no compressor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Progress.h"
#include "package/EntryCodec.h"

// contents as a stream of codec: a Huffman stream (empty for fewer than two
// bytes) or one zstd frame. The bar shows (base + the part of span done) /
// scale while it works, and the event loop gets its turns; nothing is shown
// when scale is 0.
std::string CompressStream(std::string_view contents, EntryCodec codec, ProgressSink* progress,
                           int32_t base, int32_t scale, int32_t span);
