// The checksum block on fuzzed bytes: decoded alone, and found and checked
// in a package whose bytes are the input. Damage must end in DamagedInput;
// a block that decodes must encode to the same bytes, and a package whose
// checks pass must verify; anything else is a finding.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Errors.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        if (EncodeChecksumBlock(DecodeChecksumBlock(bytes)) != bytes) std::abort();
    } catch (const DamagedInput&) {
    }
    const MemorySource source(bytes);
    const int64_t P = FindPackage(source);
    if (P == -1) return 0;
    try {
        const std::vector<DirectoryEntry> entries = ReadDirectory(source, P, 1024);
        const ChecksumCheck check = CheckPackageChecksums(source, P, entries);
        if (check.Passed() != VerifyPackageChecksums(source, P, entries)) std::abort();
    } catch (const DamagedInput&) {
    }
    return 0;
}
