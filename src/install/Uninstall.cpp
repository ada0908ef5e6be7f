#include "install/Uninstall.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Errors.h"
#include "install/DisplayText.h"
#include "install/InstallPlan.h"
#include "install/Manifest.h"

namespace {

// Removes name (a file, or with flags AT_REMOVEDIR an empty folder) from the
// folder where lies in. errno tells why on failure; a missing one is no failure.
bool RemoveAt(const RootTable& roots, const Place& where, int flags) {
    const FolderHandle folder =
        roots.OpenBelow(where.Root, ParentOf(where.Relative), FolderWalk::IfPresent);
    if (!folder.IsOpen()) return true;
    return ::unlinkat(folder.Get(), LeafOf(where.Relative).c_str(), flags) == 0 || errno == ENOENT;
}

// Removes one file of the manifest when it is unchanged.
void RemoveFile(const Manifest& manifest, const ManifestFile& f, bool dryRun,
                UninstallResult& result) {
    const std::string path = manifest.Roots.Absolute(f.Where);
    const auto hash = HashFileAt(manifest.Roots, f.Where);
    if (!hash) {
        // Gone already; anything else there (a link, a folder) is not ours.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) result.Changed.push_back(path);
    } else if (*hash != f.Sha256) {
        result.Changed.push_back(path);
    } else if (dryRun || RemoveAt(manifest.Roots, f.Where, 0)) {
        result.Removed.push_back(path);
    } else {
        result.Problems.push_back(Shown(path) + ": " + std::strerror(errno));
    }
}

// Every file goes that can; what cannot is reported, and uninstalling can
// be run again.
void RemoveFiles(const Manifest& manifest, const LinuxFolders& mapped, bool dryRun,
                 UninstallResult& result) {
    for (const ManifestFile& f : manifest.Files) {
        // An edited manifest may name any file: only the mapping's are acted on.
        if (!InMappedFolders(mapped, manifest.Roots.Absolute(f.Where), false)) {
            result.Outside.push_back(manifest.Roots.Absolute(f.Where));
            continue;
        }
        try {
            RemoveFile(manifest, f, dryRun, result);
        } catch (const KaveloError& e) {
            result.Problems.push_back(ShownError(e));
        }
    }
}

// Removes the folders of the manifest that chain says (the installation
// folder and those above it) or does not say, the deepest first.
void RemoveFolders(const Manifest& manifest, const LinuxFolders& mapped, bool chain, bool dryRun,
                   UninstallResult& result) {
    std::vector<Place> folders;
    for (const Place& folder : manifest.Folders) {
        const std::string path = manifest.Roots.Absolute(folder);
        if (IsBelow(mapped.Install, path) == chain && InMappedFolders(mapped, path, true))
            folders.push_back(folder);
    }
    std::stable_sort(folders.begin(), folders.end(), [&](const Place& a, const Place& b) {
        return manifest.Roots.Absolute(a).size() > manifest.Roots.Absolute(b).size();
    });
    for (const Place& folder : folders) {
        const std::string path = manifest.Roots.Absolute(folder);
        try {
            if (dryRun || RemoveAt(manifest.Roots, folder, AT_REMOVEDIR)) continue;
            if (errno == ENOTEMPTY || errno == EEXIST)
                result.KeptFolders.push_back(path);
            else
                result.Problems.push_back(Shown(path) + ": " + std::strerror(errno));
        } catch (const KaveloError& e) {
            result.Problems.push_back(ShownError(e));
        }
    }
}

} // namespace

UninstallResult Uninstall(const std::string& folder, bool dryRun, const LinuxFolders& mapped,
                          const FolderRules& rules) {
    const std::optional<InstallLock> lock = InstallLock::Take(folder, rules);
    if (!lock) throw KaveloError("no such folder", folder);
    UninstallResult result;
    if (!dryRun) result.Recovered = RecoverInstallation(*lock, folder, mapped, rules);
    std::optional<Manifest> manifest = ReadPreviousManifest(folder, rules);
    if (!manifest)
        throw KaveloError("holds no installation (" + std::string(kManifestName) + " is missing)",
                          folder);
    manifest->Roots.Open(rules);
    result.Caption = manifest->Caption;
    // Files, then the folders made, then the record and the program, and
    // last the installation folder and those made above it: until the
    // program goes, uninstalling can be run again.
    RemoveFiles(*manifest, mapped, dryRun, result);
    if (!result.Problems.empty()) return result;
    RemoveFolders(*manifest, mapped, false, dryRun, result);
    if (!result.Problems.empty()) return result;
    for (const std::string_view own : {kManifestName, kUninstallName}) {
        const std::string name(own);
        if (dryRun || ::unlinkat(lock->Folder().Get(), name.c_str(), 0) == 0 || errno == ENOENT)
            continue;
        result.Problems.push_back(Shown(folder + "/" + name) + ": " + std::strerror(errno));
        return result;
    }
    RemoveFolders(*manifest, mapped, true, dryRun, result);
    return result;
}
