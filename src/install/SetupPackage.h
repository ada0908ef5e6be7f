// A setup as the installer reads it: the runtime in front, the setup lines,
// the script, the numbered texts and the user's files of the package
// appended to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/BinaryFile.h"
#include "package/PackageRecords.h"
#include "package/SetupEntries.h"

struct SetupPackage {
    std::string Path;
    BinaryFile File;
    std::vector<DirectoryEntry> Entries;
    int64_t RuntimeLength = 0;    // the runtime's bytes come before the package
    int64_t OpenedChangeTime = 0; // File's ChangeTime when it was opened
    std::string Lines;            // setup\setup.txt
    std::string Script;           // setup\script.txt
    std::string Strings;          // setup\strings.txt

    // Setup line index, "|" turned into line breaks.
    std::string Line(int index) const;
    // The user's file of that (lower-case) name; the setup's own files are
    // not among them. Null when there is none.
    const DirectoryEntry* FindUserFile(const std::string& lowerName) const;
    // The numbered texts: entry n - 1 is text number n (1,024 of them).
    std::vector<std::string> StringsList() const;
};

// Throws DamagedInput when the setup's file changed since it was opened (and
// its checksums checked): what is written must be what was checked.
void RequireUnchangedSetup(const SetupPackage& setup);

// The setup at path; nullopt when it carries no package. Throws KaveloError
// (DamagedInput, IoError) for a file that cannot be read or a damaged package.
std::optional<SetupPackage> OpenSetupPackage(const std::string& path);
