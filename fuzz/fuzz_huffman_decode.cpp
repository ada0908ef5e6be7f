// Decodes fuzzed streams: the decoders (whole and in pieces) may only return
// bytes or throw their two errors, and must end the same way as the plain
// tree walk.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "huffman/Huffman.h"
#include "HuffmanPlain.h"
#include "DecodeOutcome.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string stream(reinterpret_cast<const char*>(data), size);
    const std::string plain = Outcome(DecompressHuffmanPlain, stream);
    if (Outcome(DecompressHuffman, stream) != plain) abort();
    if (Outcome(DecompressJoined, stream) != plain) abort();
    return 0;
}
