// kavelo list: the package directory of any file.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "Commands.h"
#include "common/Errors.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"

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
        const std::vector<DirectoryEntry> entries = ReadDirectory(file, P);

        // The name column is as wide as the longest name.
        int nameWidth = 4;
        for (const DirectoryEntry& e : entries)
            nameWidth = std::max(nameWidth, static_cast<int>(e.Name.size()));
        std::printf("%5s  %-*s  %5s  %12s  %12s  %12s  %s\n", "index", nameWidth, "name", "flags",
                    "stored", "uncompressed", "offset", "form");
        int64_t storedTotal = 0;
        int64_t uncompressedTotal = 0;
        const int32_t count = static_cast<int32_t>(entries.size());
        for (int32_t k = 0; k < count; ++k) {
            const DirectoryEntry& e = entries[static_cast<size_t>(k)];
            storedTotal += e.StoredSize;
            uncompressedTotal += e.Size;
            std::printf("%5d  %-*s  %5.2X  %12u  %12u  %12u  %s\n", k, nameWidth, e.Name.c_str(),
                        static_cast<unsigned>(e.Flags), e.StoredSize, e.Size,
                        static_cast<uint32_t>(e.Offset), e.Compressed() ? "huffman" : "raw");
        }
        std::printf("%d entries, %lld bytes stored, %lld bytes uncompressed, package at offset "
                    "%lld\n",
                    count, static_cast<long long>(storedTotal),
                    static_cast<long long>(uncompressedTotal), static_cast<long long>(P));
        return 0;
    } catch (const KaveloError& e) {
        return Fail(e.what());
    }
}

const CommandRegistrar list({20, "list", "FILE",
                             "list the package directory of a setup (or any file carrying one)",
                             RunList});

} // namespace
