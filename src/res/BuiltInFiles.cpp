#include "res/BuiltInFiles.h"

#include "common/AsciiCase.h"
#include "res/tools/EmbeddedFiles.h"

std::string LoadResFile(std::string_view name, std::string_view type) {
    if (LowerAscii(type) != "file") return {};
    const std::string lowered = LowerAscii(name);
    for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
        const EmbeddedFile& f = kEmbeddedFiles[i];
        if (lowered == LowerAscii(f.Name)) return std::string(f.Data, f.Size);
    }
    return {};
}

std::vector<std::string> ResFileNames() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kEmbeddedFileCount; ++i)
        names.emplace_back(kEmbeddedFiles[i].Name);
    return names;
}
