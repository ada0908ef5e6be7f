// The package reader on a fuzzed file: FindPackage, ReadDirectory into the
// opener's 1024 slots with step 2, then ReadEntry and ExtractEntry for every
// record. Damage must end in one of the reader's documented exceptions;
// anything else (a crash, a sanitizer report, another exception type, an
// allocation over the limit) is a finding.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

#include "huffman/Huffman.h"
#include "package/PackageReader.h"

namespace {

// One scratch file per process, emptied and rewritten for every input.
BinaryFile& Scratch() {
    static const std::string path =
        "/tmp/kavelo_fuzz_package_reader_" + std::to_string(::getpid()) + ".bin";
    static BinaryFile file = [] {
        BinaryFile f = BinaryFile::CreateEmpty(path);
        std::atexit([] { std::remove(path.c_str()); });
        return f;
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BinaryFile& file = Scratch();
    file.Resize(0);
    file.WriteAt(0, reinterpret_cast<const char*>(data), size);

    const int64_t P = FindPackage(file);
    if (P == -1) return 0;
    static std::array<std::string, 1024> slots;
    try {
        int64_t total = 0;
        const int32_t count = ReadDirectory(file, P, slots, 1024, total, 2, 0);
        for (int32_t k = 0; k < count; ++k) {
            const std::string& record = slots[static_cast<size_t>(2 * k)];
            try {
                int64_t uncompressed = 0;
                const std::string entry = ReadEntry(file, record);
                const std::string contents = ExtractEntry(entry, uncompressed);
                // A raw entry comes back exactly as stored.
                if (!(entry[0] & 1) && contents.size() != entry.size() - 13) std::abort();
            } catch (const PackageError&) {
            } catch (const HuffmanError&) {
            } catch (const std::out_of_range&) {
            }
        }
    } catch (const PackageError&) {
    } catch (const std::out_of_range&) {
    }
    return 0;
}
