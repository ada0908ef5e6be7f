#include "setup/SetupExtract.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "install/DisplayText.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/SafeWrite.h"
#include "install/TreeWrite.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"
#include "package/StoredTree.h"

namespace {

// An entry to write and where.
struct Planned {
    const DirectoryEntry* Entry;
    std::filesystem::path Relative;
};

void Say(const ExtractOptions& options, const std::string& text) {
    std::fprintf(stderr, "%s%s\n", options.Prefix.c_str(), PrintableText(text).c_str());
}

// The entries to write, in package order. A name that leaves the folder is
// refused (counted in failures); of entries that land on the same file only
// the last is written, as a later one would replace the earlier.
std::vector<Planned> Plan(const std::vector<DirectoryEntry>& entries, const ExtractOptions& options,
                          int& failures) {
    std::vector<Planned> planned;
    std::map<std::string, int> count;
    for (const DirectoryEntry& e : entries) {
        if (!options.All && LowerAscii(e.Name).starts_with(kSetupFolderPrefix)) continue;
        const auto relative = SafeRelativePath(e.Name);
        if (!relative) {
            Say(options, "\"" + e.Name + "\": the name leaves the target folder, skipped");
            ++failures;
            continue;
        }
        planned.push_back({&e, *relative});
        ++count[relative->string()];
    }
    std::map<std::string, int> left = count;
    std::vector<Planned> kept;
    for (const Planned& p : planned) {
        if (--left[p.Relative.string()] > 0) continue;
        kept.push_back(p);
        if (const int same = count[p.Relative.string()]; same > 1)
            Say(options, "\"" + p.Relative.string() + "\": the setup holds " +
                             std::to_string(same) +
                             " entries of this name; only the last is extracted");
    }
    return kept;
}

// A tree is unpacked into a folder of its own name below dir.
int ExtractTree(const ByteSource& source, const DirectoryEntry& entry, const std::string& dir,
                const ExtractOptions& options) {
    try {
        // Written as it is decoded: the header names the folder first.
        const StoredContents stored = StoredInSource(source, entry);
        const std::string root = ReadTreeSummary(stored).RootName;
        TreeUnpacker unpacker(std::filesystem::path(dir) / root, [&](const TreeEntry& e) {
            std::printf("%s\n", PrintableText(root + "/" + e.Name).c_str());
        });
        ReadStoredTree(stored, unpacker);
        return 0;
    } catch (const KaveloError& e) {
        const std::string where = e.Path().empty() ? "\"" + entry.Name + "\"" : e.Path();
        Say(options, where + ": " + e.Reason() + ", not extracted further");
        return 1;
    }
}

// Leaves out of planned the entries whose bytes differ from the package's
// checksums, each told by name and counted in failures; all of them when the
// directory or the checksums themselves are damaged. A package without
// checksums is told of once.
void LeaveOutDamaged(const ByteSource& source, const std::vector<DirectoryEntry>& entries,
                     const ExtractOptions& options, std::vector<Planned>& planned, int& failures) {
    ChecksumCheck check;
    try {
        check = CheckPackageChecksums(source, options.PackageAt, entries);
    } catch (const KaveloError& e) {
        Say(options, e.Reason() + "; nothing extracted");
        failures += static_cast<int>(planned.size());
        planned.clear();
        return;
    }
    if (!check.Present) {
        Say(options, "this setup carries no checksums; its files are not verified");
    } else if (!check.DirectoryMatches) {
        Say(options, "the setup's directory differs from its checksum; nothing extracted");
        failures += static_cast<int>(planned.size());
        planned.clear();
    }
    std::erase_if(planned, [&](const Planned& p) {
        const size_t k = static_cast<size_t>(p.Entry - entries.data());
        if (std::find(check.Mismatched.begin(), check.Mismatched.end(), k) ==
            check.Mismatched.end())
            return false;
        Say(options,
            "\"" + p.Entry->Name + "\": its bytes differ from the setup's checksum, " + "skipped");
        ++failures;
        return true;
    });
}

} // namespace

int ExtractSetup(const ByteSource& source, const std::vector<DirectoryEntry>& entries,
                 const std::string& dir, const ExtractOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        Say(options, dir + ": " + ec.message());
        return 1;
    }
    int failures = 0;
    std::vector<Planned> planned = Plan(entries, options, failures);
    if (options.PackageAt >= 0) LeaveOutDamaged(source, entries, options, planned, failures);
    if (planned.empty() && failures == 0 && !options.All)
        Say(options, "the setup carries no files of its own (--all extracts its setup files)");
    for (const Planned& p : planned) {
        if (IsTreeName(p.Entry->Name)) {
            failures += ExtractTree(source, *p.Entry, dir, options);
            continue;
        }
        // Decoded in pieces as it is written: a large file is never held whole.
        bool replaced = false;
        bool unreadable = false;
        try {
            replaced = WriteEntryBelowInPieces(dir, p.Relative, [&](const PieceSink& sink) {
                bool writing = false;
                try {
                    ExtractEntryInPieces(source, *p.Entry, [&](const char* data, size_t n) {
                        writing = true;
                        sink(data, n);
                        writing = false;
                    });
                } catch (const KaveloError&) {
                    unreadable = !writing;
                    throw;
                }
            });
        } catch (const KaveloError& e) {
            // A damaged entry is told by its name; a file that cannot be
            // written by its path.
            Say(options, unreadable ? "\"" + p.Entry->Name + "\": " + e.Reason() + ", skipped"
                                    : std::string(e.what()));
            ++failures;
            continue;
        }
        std::printf("%s\n", PrintableText(p.Relative.string()).c_str());
        if (replaced)
            Say(options, (std::filesystem::path(dir) / p.Relative).string() +
                             ": an existing file was replaced");
    }
    return failures;
}
