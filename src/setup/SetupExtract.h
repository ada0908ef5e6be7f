// Unpacking a setup's files below a folder, for the setup itself (--extract)
// and for kavelo extract: by default the user's files, with All the four
// setup files too (below "setup/"). Names that would leave the folder are
// refused, each file is written under a temporary name and renamed into
// place (ELF programs and "#!" scripts executable), a replaced file and a
// name the setup holds more than once are told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/ByteSource.h"
#include "package/PackageRecords.h"

struct ExtractOptions {
    bool All = false;
    // Put in front of every message on standard error ("kavelo: ").
    std::string Prefix;
    // Where the package starts in the source, when known: an entry whose
    // bytes differ from the package's checksum is then refused by name.
    int64_t PackageAt = -1;
};

// Writes the chosen entries below dir, printing each name written on
// standard output and every problem on standard error. Returns the number of
// entries that could not be written (the folder not made counts as one).
int ExtractSetup(const ByteSource& source, const std::vector<DirectoryEntry>& entries,
                 const std::string& dir, const ExtractOptions& options);
