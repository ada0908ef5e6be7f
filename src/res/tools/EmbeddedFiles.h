// The table of built-in files. Its definition is generated at build time by
// the embedding tool (src/res/tools/embed_files.cpp) from the template files,
// their packed forms and the setup runtime.
#pragma once

#include <cstddef>

struct EmbeddedFile {
    const char* Name; // upper case, e.g. "SETUP.TXT"
    const char* Data;
    std::size_t Size;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;
