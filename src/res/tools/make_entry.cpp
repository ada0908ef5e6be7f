// Build-time tool: packs one file into an EntryRecord with the program's own
// compressor, as a save packs the side picture (threshold 100); with --zstd,
// with the second codec (the runtime packs its graphical wizard so).
//
//   kavelo_make_entry [--zstd] INPUT OUTPUT
#include "common/WholeFile.h"
#include "package/PackageWriter.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    const bool zstd = argc == 4 && std::string_view(argv[1]) == "--zstd";
    if (argc != 3 && !zstd) {
        std::cerr << "usage: kavelo_make_entry [--zstd] INPUT OUTPUT\n";
        return 2;
    }
    const char* input = argv[argc - 2];
    const char* output = argv[argc - 1];
    try {
        const EntryCodec codec = zstd ? EntryCodec::Zstd : EntryCodec::Huffman;
        const std::string entry =
            EncodeEntryRecord(MakeEntry(ReadWholeFile(input), true, 100, {}, codec));
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        out << entry;
        out.close();
        if (!out) {
            std::cerr << "kavelo_make_entry: cannot write " << output << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "kavelo_make_entry: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
