// The uninstall program: the runtime without a package, placed in an
// installation folder as "uninstall". It removes what the manifest beside it
// lists, keeps (and lists) what was changed since, and asks first when it
// runs in a terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "InstallMode.h"
#include "SetupRun.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "install/LinuxFolders.h"
#include "install/Manifest.h"
#include "install/Uninstall.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"

namespace {

const char* const kUninstallUsage =
    "usage: uninstall [--yes] [--dry-run] [--log FILE]\n"
    "  removes the installation in the folder this program lies in: every file\n"
    "  and launcher it wrote, unless changed since, and the folders it made, if empty\n"
    "  --yes        do not ask first (it asks only in a terminal)\n"
    "  --dry-run    list what would be removed and kept; nothing is removed\n"
    "  --log FILE   also append what happens to FILE\n"
    "exit status: 0 removed (kept files are listed), 1 failed, 2 wrong options, 4 declined\n";

struct UninstallOptions {
    bool Yes = false;
    bool DryRun = false;
    std::string Log;
};

bool ParseOptions(int argc, char** argv, UninstallOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--yes" || arg == "-y")
            options.Yes = true;
        else if (arg == "--dry-run")
            options.DryRun = true;
        else if (arg == "--log" && i + 1 < argc)
            options.Log = argv[++i];
        else if (arg.rfind("--log=", 0) == 0)
            options.Log = arg.substr(6);
        else
            return false;
    }
    return true;
}

// Asks before removing; true to go ahead.
bool Confirm(const std::string& folder) {
    std::printf("Remove the installation in %s? [y/N] ", Shown(folder).c_str());
    std::fflush(stdout);
    std::string answer;
    char c = 0;
    while (::read(0, &c, 1) == 1 && c != '\n')
        answer += c;
    answer = LowerAscii(answer);
    return answer == "y" || answer == "yes";
}

void Report(const UninstallResult& result, bool dryRun, RunLog& log) {
    if (result.Recovered.Found) log.Say("An interrupted installation was undone first.");
    for (const std::string& path : result.Removed)
        log.Say((dryRun ? "  Would remove " : "  Removed ") + Shown(path));
    for (const std::string& path : result.Changed)
        log.Say("  Kept " + Shown(path) + ": changed since it was installed");
    for (const std::string& path : result.Outside)
        log.Say("  Kept " + Shown(path) +
                ": outside the folders this installation may write to (the manifest was edited, "
                "or the environment differs)");
    for (const std::string& path : result.KeptFolders)
        log.Say("  Kept the folder " + Shown(path) + ": it is not empty");
    for (const std::string& problem : result.Problems)
        log.Say("  Could not remove " + problem, true);
}

// An uninstallation that ended between removing the manifest and removing
// the program leaves only the program: this very file, in a folder with no
// manifest and no journal.
bool OnlyTheProgramIsLeft(const std::string& folder, const std::string& self) {
    struct stat own {
    }, there{}, st{};
    return ::stat(self.c_str(), &own) == 0 &&
           ::lstat((folder + "/" + std::string(kUninstallName)).c_str(), &there) == 0 &&
           own.st_dev == there.st_dev && own.st_ino == there.st_ino &&
           ::lstat((folder + "/" + std::string(kManifestName)).c_str(), &st) != 0 &&
           errno == ENOENT && ::lstat((folder + "/" + std::string(kJournalName)).c_str(), &st) != 0;
}

} // namespace

bool IsUninstallProgram(const char* argv0, const std::string& self) {
    const auto name = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
    if (name(self) != "uninstall" && !(argv0 && name(argv0) == "uninstall")) return false;
    // A setup that happens to be called so stays a setup.
    try {
        return FindPackage(BinaryFile::OpenRead(self)) < 0;
    } catch (const KaveloError&) {
        return true;
    }
}

int RunUninstall(int argc, char** argv, const std::string& self) {
    UninstallOptions options;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUninstallUsage, stdout);
        return kExitInstalled;
    }
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUninstallUsage, stderr);
        return kExitUsage;
    }
    RunLog log;
    try {
        if (!options.Log.empty()) log.Open(options.Log, self);
    } catch (const KaveloError& e) {
        std::fprintf(stderr, "uninstall: %s\n", ShownError(e).c_str());
        return kExitUsage;
    }
    const std::string folder = std::filesystem::path(self).parent_path().string();
    if (!options.Yes && !options.DryRun && isatty(0) && isatty(1) && !Confirm(folder)) {
        log.Say("Nothing was removed.");
        return kExitCancelled;
    }
    CatchStopSignals();
    if (OnlyTheProgramIsLeft(folder, self)) {
        if (!options.DryRun && ::unlink(self.c_str()) != 0 && errno != ENOENT) {
            log.Say("uninstall: " + Shown(self) + ": " + std::strerror(errno), true);
            return kExitFailed;
        }
        log.Say("The installation in " + Shown(folder) + " was removed before; " +
                (options.DryRun ? "would remove" : "removed") +
                " what was left of it, this program.");
        return kExitInstalled;
    }
    UninstallResult result;
    try {
        const InstallEnvironment env = CurrentEnvironment();
        result = Uninstall(folder, options.DryRun, MapFolders(folder, env),
                           FolderRules{env.Root, env.Root});
    } catch (const KaveloError& e) {
        log.Say("uninstall: " + ShownError(e), true);
        return kExitFailed;
    }
    Report(result, options.DryRun, log);
    if (!result.Problems.empty()) {
        // Once the program itself is gone, there is nothing to run again.
        struct stat st {};
        if (::lstat(self.c_str(), &st) == 0)
            log.Say("Not everything could be removed; run " + Shown(self) +
                        " again when it can be.",
                    true);
        else
            log.Say("Not everything could be removed; what is listed above stays.", true);
        return kExitFailed;
    }
    log.Say(std::string(options.DryRun ? "Would remove " : "Removed ") +
            (result.Caption.empty() ? "the installation" : Shown(result.Caption)) + " from " +
            Shown(folder) + ".");
    return kExitInstalled;
}
