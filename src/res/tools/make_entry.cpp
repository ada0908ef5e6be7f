// Build-time tool: packs one file into an EntryRecord with the program's own
// compressor, as a save packs the side picture (threshold 100).
//
//   kavelo_make_entry INPUT OUTPUT
#include "common/WholeFile.h"
#include "package/PackageWriter.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kavelo_make_entry INPUT OUTPUT\n";
        return 2;
    }
    try {
        const std::string entry = EncodeEntryRecord(MakeEntry(ReadWholeFile(argv[1]), true, 100));
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << entry;
        out.close();
        if (!out) {
            std::cerr << "kavelo_make_entry: cannot write " << argv[2] << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "kavelo_make_entry: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
