// kavelo tree: what a tree of a setup holds.
#include "TreeReport.h"

#include <cstdio>

#include "CliIo.h"
#include "CommandLine.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageReader.h"
#include "package/StoredTree.h"

namespace {

// The entry a tree's name (with or without its suffix, any case) names.
const DirectoryEntry* FindTree(const std::vector<DirectoryEntry>& entries, std::string name) {
    name = LowerAscii(name);
    if (!IsTreeName(name)) name += kTreeSuffix;
    for (const DirectoryEntry& e : entries)
        if (LowerAscii(e.Name) == name) return &e;
    return nullptr;
}

int RunTree(const Invocation& call) {
    PackageInput input;
    if (!input.Open(call.Operand(0))) return kExitFailure;
    try {
        const auto entries = ReadPackageDirectory(input.Source());
        if (!entries) return Fail(input.Shown() + ": the file carries no setup package");
        const DirectoryEntry* entry = FindTree(*entries, call.Operand(1));
        if (!entry)
            return Fail(input.Shown() + ": no tree named \"" + PrintableText(call.Operand(1)) +
                        "\"");
        // Listed as it is decoded, never held whole.
        TreeListing listing(stdout);
        listing.End(ReadStoredTree(StoredInSource(input.Source(), *entry), listing).RootName);
        return kExitOk;
    } catch (const KaveloError& e) {
        return Fail(input.Shown() + ": damaged package: " + e.Reason());
    }
}

const CommandRegistrar kTree({37,
                              "tree",
                              "SETUP NAME",
                              2,
                              2,
                              {},
                              "list the files, folders and links a tree of the setup holds",
                              &RunTree});

} // namespace
