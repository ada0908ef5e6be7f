// Writes the header that gives the setup runtime the program's version line.
// The runtime cannot link the string table (the resources embed the runtime),
// so the line is made here, at build time, from the same table and version.
#include <cstdio>

#include "res/ProgramVersion.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.h\n", argv[0]);
        return 2;
    }
    FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Made by version_header at build time.\n#pragma once\n\n"
                      "#define KAVELO_VERSION_LINE \"");
    for (const char c : VersionLine()) {
        if (c == '"' || c == '\\') std::fputc('\\', out);
        std::fputc(c, out);
    }
    std::fprintf(out, "\"\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
