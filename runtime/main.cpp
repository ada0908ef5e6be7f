// The setup runtime: the program at the front of every setup executable. It
// finds the package appended to its own file and shows or unpacks the setup.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "InstallMode.h"
#include "install/SafeWrite.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"

namespace {

const char* const kUsage = "usage: %s [--info | --list | --extract DIR | --help]\n"
                           "  (no option)    show the setup's caption and startup text\n"
                           "  --info         show the setup's lines and the sizes of its texts\n"
                           "  --list         list the files the setup carries\n"
                           "  --extract DIR  unpack every file of the setup below DIR\n";

std::string OwnPath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

using Entries = std::vector<DirectoryEntry>;

std::string EntryText(const BinaryFile& file, const Entries& entries, std::string_view name) {
    const DirectoryEntry* e = FindEntry(entries, name);
    return e ? ReadEntryContents(file, *e) : std::string();
}

int ShowWelcome(const BinaryFile& file, const Entries& entries) {
    const std::string lines = EntryText(file, entries, kSetupLinesName);
    std::printf("%s\n\n%s\n", SetupLineText(lines, 0).c_str(), SetupLineText(lines, 1).c_str());
    return 0;
}

int ShowInfo(const BinaryFile& file, const Entries& entries) {
    static const char* const kLineNames[] = {
        "caption",           "startup text", "licence file", "installation folder",
        "start-menu folder", "finish text",  "launch text"};
    const std::string lines = EntryText(file, entries, kSetupLinesName);
    for (int i = 0; i < 7; ++i) {
        std::string value = SetupLineText(lines, i);
        for (char& c : value)
            if (c == '\n') c = '|';
        std::printf("%-20s %s\n", kLineNames[i], value.c_str());
    }
    std::printf("%-20s %zu bytes\n", "script", EntryText(file, entries, kSetupScriptName).size());
    std::printf("%-20s %zu bytes\n", "strings", EntryText(file, entries, kSetupStringsName).size());
    std::printf("%-20s %zu\n", "files", entries.size() >= 4 ? entries.size() - 4 : 0);
    return 0;
}

int List(const Entries& entries) {
    std::printf("%-40s %12s %12s\n", "name", "stored", "size");
    for (const DirectoryEntry& e : entries)
        std::printf("%-40s %12lld %12lld\n", e.Name.c_str(), static_cast<long long>(e.StoredSize),
                    static_cast<long long>(e.Size));
    return 0;
}

int Extract(const BinaryFile& file, const Entries& entries, const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    int failures = 0;
    for (const DirectoryEntry& e : entries) {
        const auto relative = SafeRelativePath(e.Name);
        if (!relative) {
            std::fprintf(stderr, "skipped \"%s\": the name leaves the target folder\n",
                         e.Name.c_str());
            ++failures;
            continue;
        }
        std::string why;
        if (!WriteEntryBelow(dir, *relative, ReadEntryContents(file, e), why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", relative->string().c_str());
    }
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string self = OwnPath();
    const std::string option = argc > 1 ? argv[1] : "";
    if (IsUninstallProgram(argv[0], self)) return RunUninstall(argc, argv, self);
    if (option == "--help" || option == "-h") {
        std::printf(kUsage, argv[0]);
        PrintInstallHelp(stdout);
        return 0;
    }
    if (HasInstallOption(argc, argv)) return RunInstallMode(argc, argv, self);
    try {
        BinaryFile file = BinaryFile::OpenRead(self);
        const auto entries = ReadPackageDirectory(file);
        if (!entries) {
            std::fprintf(stderr, "%s: this setup carries no package\n", self.c_str());
            return 1;
        }
        // "Create & test setup" starts the setup with its own path as the
        // argument, unquoted: a path with blanks arrives as several words.
        std::string joined;
        for (int i = 1; i < argc; ++i)
            joined += (i > 1 ? " " : "") + std::string(argv[i]);
        std::error_code ec;
        if (argc == 1 && WantsTerminalWizard()) return RunTerminalWizard(self);
        if (argc == 1 ||
            (joined.rfind("--", 0) != 0 && std::filesystem::equivalent(joined, self, ec)))
            return ShowWelcome(file, *entries);
        if (option == "--info" && argc == 2) return ShowInfo(file, *entries);
        if (option == "--list" && argc == 2) return List(*entries);
        if (option == "--extract" && argc == 3) return Extract(file, *entries, argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: damaged setup: %s\n", self.c_str(), e.what());
        return 1;
    }
    std::fprintf(stderr, kUsage, argv[0]);
    return 2;
}
