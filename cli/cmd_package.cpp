// kavelo list: the package directory of any file that carries a package.
#include <cstdio>

#include "CliIo.h"
#include "CommandLine.h"
#include "TreeReport.h"
#include "setup/SetupReport.h"
#include "common/Errors.h"
#include "package/PackageReader.h"

namespace {

int RunList(const Invocation& call) {
    PackageInput input;
    if (!input.Open(call.Operand(0))) return kExitFailure;
    try {
        const int64_t P = FindPackage(input.Source());
        if (P == -1) return Fail(input.Shown() + ": no package found");
        const std::vector<DirectoryEntry> entries = ReadDirectory(input.Source(), P);
        std::vector<std::string> notes;
        for (const DirectoryEntry& e : entries)
            notes.push_back(TreeNote(input.Source(), e));
        const std::string out =
            call.Has("--json") ? ListJson(entries, P) : ListText(entries, P, notes);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return kExitOk;
    } catch (const KaveloError& e) {
        return Fail(input.Shown() + ": damaged package: " + e.Reason());
    }
}

const CommandRegistrar kList({20,
                              "list",
                              "FILE",
                              1,
                              1,
                              {{"--json", nullptr, "one JSON object"}},
                              "list the package directory of a setup (or any file carrying one)",
                              &RunList});

} // namespace
