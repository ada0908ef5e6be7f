// Compresses fuzzed bytes and decompresses the stream: any difference aborts.
// The input is also tried repeated to some 20 KB, long enough for the
// decoder's parallel chains.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "huffman/Huffman.h"

namespace {

void RoundTrip(const std::string& input) {
    const std::string stream = CompressHuffman(input);
    // 0 and 1 bytes have no stream; everything else must come back whole.
    if (input.size() < 2) {
        if (!stream.empty()) abort();
        return;
    }
    if (DecompressHuffman(stream) != input) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    RoundTrip(input);
    if (size >= 2 && size < 20000) {
        std::string longer;
        while (longer.size() < 20000)
            longer += input;
        RoundTrip(longer);
    }
    return 0;
}
