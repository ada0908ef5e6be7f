// kavelo add / remove / extract: the user's files of a setup.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "CliIo.h"
#include "CommandLine.h"
#include "setup/SetupExtract.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "package/PackageReader.h"
#include "project/FileIntake.h"
#include "project/TreeIntake.h"
#include "project/Session.h"

namespace {

SetupProject& Project() {
    return Session().Project;
}

// Every file must be one that can be added, under a name of its own, before
// the setup is opened.
int CheckFilesToAdd(const Invocation& call, const std::vector<std::string>& files) {
    std::map<std::string, std::string> byName;
    for (const std::string& file : files) {
        if (file == "-")
            return call.UsageError("standard input gives no file name (write ./- for a file "
                                   "named \"-\")");
        const std::string name = IntakeName(file);
        const auto [it, fresh] = byName.emplace(name, file);
        if (!fresh)
            return call.UsageError("\"" + it->second + "\" and \"" + file +
                                   "\" would both be named \"" + name + "\" in the setup");
    }
    return kExitOk;
}

// Adds every file and folder or none: one that cannot be added leaves the
// setup as it was. A folder becomes one tree.
int RunAdd(const Invocation& call) {
    const std::string& setup = call.Operand(0);
    if (setup == "-") return call.UsageError("a setup to change cannot be standard input");
    std::vector<std::string> files;
    std::vector<std::string> folders;
    for (size_t i = 1; i < call.Operands().size(); ++i) {
        std::error_code ec;
        const std::string& path = call.Operand(i);
        (std::filesystem::is_directory(path, ec) ? folders : files).push_back(path);
    }
    if (const int status = CheckFilesToAdd(call, files)) return status;
    SetupChange change;
    if (!change.Open(setup)) return kExitFailure;
    const DropResult r = DropFiles(Project(), files);
    const DropResult t = DropFolders(Project(), folders);
    for (const DropResult* result : {&r, &t})
        for (const DropProblem& p : result->Problems)
            Note(p.Path + ": " + p.Reason + "; not added");
    if (!r.Problems.empty() || !t.Problems.empty())
        return Fail(Project().ProjectPath + ": nothing was changed");
    for (const ShortenedName& s : r.Shortened)
        Note(s.Path + ": added as \"" + s.Name + "\", the part of its name after the last \"\\\"");
    if (!change.Save()) return kExitFailure;
    std::printf("%d added, %d replaced\n", r.Added + t.Added, r.Replaced + t.Replaced);
    return kExitOk;
}

int RunRemove(const Invocation& call) {
    const std::string& setup = call.Operand(0);
    if (setup == "-") return call.UsageError("a setup to change cannot be standard input");
    SetupChange change;
    if (!change.Open(setup)) return kExitFailure;
    std::vector<std::string> removed;
    for (size_t i = 1; i < call.Operands().size(); ++i) {
        const std::string name = LowerAscii(call.Operand(i));
        if (std::find(removed.begin(), removed.end(), name) != removed.end()) continue;
        const int32_t k = Project().FindFile(name);
        if (k < 0)
            return Fail(Project().ProjectPath + ": no file named \"" + call.Operand(i) +
                        "\"; nothing removed");
        Project().RemoveFile(k);
        removed.push_back(name);
    }
    if (!change.Save()) return kExitFailure;
    std::printf("%zu removed\n", removed.size());
    return kExitOk;
}

int RunExtract(const Invocation& call) {
    PackageInput input;
    if (!input.Open(call.Operand(0))) return kExitFailure;
    try {
        const auto entries = ReadPackageDirectory(input.Source());
        if (!entries) return Fail(input.Shown() + ": the file carries no setup package");
        const ExtractOptions options{call.Has("--all"), "kavelo: ", FindPackage(input.Source())};
        return ExtractSetup(input.Source(), *entries, call.Operand(1), options) ? kExitFailure
                                                                                : kExitOk;
    } catch (const KaveloError& e) {
        return Fail(input.Shown() + ": damaged package: " + e.Reason());
    }
}

const CommandRegistrar kAdd({32,
                             "add",
                             "SETUP FILE|DIR...",
                             2,
                             -1,
                             {},
                             "add or replace files and folders (as trees), then save (all or none)",
                             &RunAdd});
const CommandRegistrar
    kRemove({33, "remove", "SETUP NAME...", 2, -1, {}, "remove files, then save", &RunRemove});
const CommandRegistrar kExtract({36,
                                 "extract",
                                 "SETUP DIR",
                                 2,
                                 2,
                                 {{"--all", nullptr, "the setup files too, below DIR/setup"}},
                                 "unpack the setup's files below DIR",
                                 &RunExtract});

} // namespace
