// kavelo compress / decompress: the raw compressed stream.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "Commands.h"
#include "huffman/Huffman.h"
#include "huffman/LargeBuffer.h"

namespace {

// Reads a whole file with one read of its known length (the commands work on
// files of any size; a read per byte would cost more than the codec).
// Streams that cannot seek go through ReadWholeFile.
bool ReadInput(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return Fail(path + ": " + std::strerror(errno)), false;
    const std::streamoff size = in.tellg();
    if (size <= 0) return ReadWholeFile(path, bytes);
    in.seekg(0);
    ResizeForFill(bytes, static_cast<size_t>(size));
    if (!in.read(bytes.data(), size)) return Fail(path + ": read error"), false;
    return true;
}

int Usage(const char* name) {
    return Fail(std::string("usage: kavelo ") + name + " IN OUT");
}

int RunCompress(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("compress");
    std::string bytes;
    if (!ReadInput(args[0], bytes)) return 1;
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
    if (!ReadInput(args[0], stream)) return 1;
    std::string bytes;
    try {
        bytes = DecompressHuffman(stream);
    } catch (const HuffmanError& e) {
        return Fail(args[0] + ": damaged stream: error " + std::to_string(e.Number()) + " (" +
                    e.Source() + "): " + e.what());
    } catch (const std::out_of_range& e) {
        // Cut short, or tables larger than the format allows.
        return Fail(args[0] + ": damaged stream: " + e.what());
    }
    return WriteWholeFile(args[1], bytes) ? 0 : 1;
}

const CommandRegistrar compress({10, "compress", "IN OUT",
                                 "compress file IN into the raw Huffman stream OUT", RunCompress});
const CommandRegistrar decompress({11, "decompress", "IN OUT",
                                   "decompress the raw Huffman stream IN into OUT", RunDecompress});

} // namespace
