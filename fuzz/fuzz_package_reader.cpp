// The package reader on fuzzed bytes in memory: FindPackage, ReadDirectory,
// then ReadEntry and ExtractEntry for every entry. Damage must end in
// DamagedInput (HuffmanError among it); anything else (a crash, a sanitizer
// report, another exception type, an allocation over the limit) is a finding.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Errors.h"
#include "package/PackageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const int64_t P = FindPackage(source);
    if (P == -1) return 0;
    try {
        for (const DirectoryEntry& e : ReadDirectory(source, P, 1024)) {
            try {
                const EntryRecord entry = ReadEntry(source, e);
                const std::string contents = ExtractEntry(entry);
                // A raw entry comes back exactly as stored.
                if (!entry.Compressed() && contents != entry.Stored) std::abort();
            } catch (const DamagedInput&) {
            }
        }
    } catch (const DamagedInput&) {
    }
    return 0;
}
