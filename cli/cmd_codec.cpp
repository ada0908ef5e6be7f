// kavelo compress / decompress: the raw compressed stream.
#include <stdexcept>

#include "Commands.h"
#include "huffman/Huffman.h"

namespace {

int Usage(const char* name) {
    return Fail(std::string("usage: kavelo ") + name + " IN OUT");
}

int RunCompress(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("compress");
    std::string bytes;
    if (!ReadWholeFile(args[0], bytes)) return 1;
    std::string stream;
    try {
        stream = CompressHuffman(bytes);
    } catch (const std::exception& e) {
        return Fail(args[0] + ": " + e.what());
    }
    if (bytes.size() == 1) return Fail(args[0] + ": a single byte has no compressed form");
    return WriteWholeFile(args[1], stream) ? 0 : 1;
}

int RunDecompress(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("decompress");
    std::string stream;
    if (!ReadWholeFile(args[0], stream)) return 1;
    std::string bytes;
    try {
        bytes = DecompressHuffman(stream);
    } catch (const HuffmanError& e) {
        return Fail(args[0] + ": damaged stream: error " + std::to_string(e.Number()) + " (" +
                    e.Source() + "): " + e.what());
    } catch (const std::out_of_range&) {
        return Fail(args[0] + ": damaged stream: it ends before its header or data is complete");
    }
    return WriteWholeFile(args[1], bytes) ? 0 : 1;
}

const CommandRegistrar compress({10, "compress", "IN OUT",
                                 "compress file IN into the raw Huffman stream OUT", RunCompress});
const CommandRegistrar decompress({11, "decompress", "IN OUT",
                                   "decompress the raw Huffman stream IN into OUT", RunDecompress});

} // namespace
