// kavelo list: the package directory of any file.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "Commands.h"
#include "package/BinaryFile.h"
#include "common/BigEndian.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/PackageFormat.h"

namespace {

int RunList(const std::vector<std::string>& args) {
    if (args.size() != 1) return Fail("usage: kavelo list FILE");
    const std::string& path = args[0];
    // Every error the package layer throws names the file already.
    try {
        BinaryFile file = BinaryFile::OpenRead(path);
        const int64_t P = FindPackage(file);
        if (P == -1) {
            std::fprintf(stderr, "%s: no package found\n", path.c_str());
            return 1;
        }
        // Room for as many records as the file could hold, never more than the
        // header claims: ReadDirectory refuses a count the file cannot hold.
        const int64_t fits = (file.Length() - P - kMinPackageFileSize) / kRecordSize;
        const int64_t slots = std::max<int64_t>(1, std::min<int64_t>(GetEntryCount(file, P), fits));
        std::vector<std::string> records(static_cast<size_t>(slots));
        int64_t uncompressedTotal = 0;
        const int32_t count =
            ReadDirectory(file, P, records, static_cast<int32_t>(slots), uncompressedTotal, 1, 0);

        // The name column is as wide as the longest name.
        int nameWidth = 4;
        for (int32_t k = 0; k < count; ++k)
            nameWidth =
                std::max(nameWidth, static_cast<int>(records[static_cast<size_t>(k)].size() -
                                                     static_cast<size_t>(kRecordSize)));
        std::printf("%5s  %-*s  %5s  %12s  %12s  %12s  %s\n", "index", nameWidth, "name", "flags",
                    "stored", "uncompressed", "offset", "form");
        int64_t storedTotal = 0;
        for (int32_t k = 0; k < count; ++k) {
            const std::string& r = records[static_cast<size_t>(k)];
            const auto flags = static_cast<unsigned>(static_cast<uint8_t>(r[kRecordFlagsAt]));
            const uint32_t stored = CharsToLong(r, kRecordStoredSizeAt);
            storedTotal += stored;
            std::printf("%5d  %-*s  %5.2X  %12u  %12u  %12u  %s\n", k, nameWidth,
                        r.substr(kRecordSize).c_str(), flags, stored,
                        CharsToLong(r, kRecordUncompressedSizeAt), CharsToLong(r, kRecordFieldAt),
                        (flags & kFlagCompressed) ? "huffman" : "raw");
        }
        std::printf("%d entries, %lld bytes stored, %lld bytes uncompressed, package at offset "
                    "%lld\n",
                    count, static_cast<long long>(storedTotal),
                    static_cast<long long>(uncompressedTotal), static_cast<long long>(P));
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

const CommandRegistrar list({20, "list", "FILE",
                             "list the package directory of a setup (or any file carrying one)",
                             RunList});

} // namespace
