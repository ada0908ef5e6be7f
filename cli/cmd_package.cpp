// kavelo list and verify: the package directory of any file that carries a
// package, and its checksums.
#include <cstdio>
#include <functional>

#include "CliIo.h"
#include "CommandLine.h"
#include "TreeReport.h"
#include "setup/SetupReport.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"

namespace {

// The directory of the package the operand names, handed to what; a file
// without a package or a damaged one is told here.
using PackageCommand = std::function<int(const PackageInput& input, int64_t P,
                                         const std::vector<DirectoryEntry>& entries)>;
int OnPackage(const Invocation& call, const PackageCommand& what) {
    PackageInput input;
    if (!input.Open(call.Operand(0))) return kExitFailure;
    try {
        const int64_t P = FindPackage(input.Source());
        if (P == -1) return Fail(input.Shown() + ": no package found");
        return what(input, P, ReadDirectory(input.Source(), P));
    } catch (const KaveloError& e) {
        return Fail(input.Shown() + ": damaged package: " + e.Reason());
    }
}

int RunList(const Invocation& call) {
    return OnPackage(call, [&](const PackageInput& input, int64_t P,
                               const std::vector<DirectoryEntry>& entries) {
        std::vector<std::string> notes;
        for (const DirectoryEntry& e : entries)
            notes.push_back(TreeNote(input.Source(), e));
        const std::string out =
            call.Has("--json") ? ListJson(entries, P) : ListText(entries, P, notes);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return kExitOk;
    });
}

// Every entry whose bytes differ from its checksum is named; the status is
// 0 only when every checksum is there and matches.
int RunVerify(const Invocation& call) {
    return OnPackage(call, [](const PackageInput& input, int64_t P,
                              const std::vector<DirectoryEntry>& entries) {
        const ChecksumCheck check = CheckPackageChecksums(input.Source(), P, entries);
        if (!check.Present)
            return Fail(input.Shown() +
                        ": the setup carries no checksums (it was written before they were added)");
        if (!check.DirectoryMatches)
            Fail(input.Shown() + ": the package's directory does not match its checksum");
        for (const size_t k : check.Mismatched)
            Fail(input.Shown() + ": the data of \"" + entries[k].Name +
                 "\" does not match its checksum");
        if (!check.Passed()) return kExitFailure;
        std::printf("%s: %zu entries and the directory match their checksums\n",
                    PrintableText(input.Shown()).c_str(), entries.size());
        return kExitOk;
    });
}

const CommandRegistrar kList({20,
                              "list",
                              "FILE",
                              1,
                              1,
                              {{"--json", nullptr, "one JSON object"}},
                              "list the package directory of a setup (or any file carrying one)",
                              &RunList});
const CommandRegistrar kVerify({21,
                                "verify",
                                "FILE",
                                1,
                                1,
                                {},
                                "check every entry of a setup against its checksum",
                                &RunVerify});

} // namespace
