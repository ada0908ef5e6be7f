// Decodes fuzzed streams: the decoder may only return bytes or throw its two
// errors, and it must end the same way as the plain tree walk.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "huffman/Huffman.h"
#include "HuffmanPlain.h"
#include "DecodeOutcome.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string stream(reinterpret_cast<const char*>(data), size);
    if (Outcome(DecompressHuffman, stream) != Outcome(DecompressHuffmanPlain, stream)) abort();
    return 0;
}
