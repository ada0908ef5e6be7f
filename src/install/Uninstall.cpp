#include "install/Uninstall.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "install/DisplayText.h"
#include "install/InstallPlan.h"
#include "install/Manifest.h"

namespace {

// Removes name (a file, or with flags AT_REMOVEDIR an empty folder) from the
// folder where lies in. errno tells why on failure; a missing one is no failure.
bool RemoveAt(const RootTable& roots, const Place& where, int flags) {
    std::string why;
    bool missing = false;
    const FolderHandle folder = OpenFolderBelow(roots.Folders()[static_cast<size_t>(where.Root)],
                                                ParentOf(where.Relative), false, why, {}, &missing);
    if (!folder.IsOpen()) {
        if (missing) errno = ENOENT;
        return missing;
    }
    return ::unlinkat(folder.Get(), LeafOf(where.Relative).c_str(), flags) == 0 || errno == ENOENT;
}

void RemoveFiles(const Manifest& manifest, bool dryRun, UninstallResult& result) {
    for (const ManifestFile& f : manifest.Files) {
        const std::string path = manifest.Roots.Absolute(f.Where);
        std::string why;
        const auto hash = HashFileAt(manifest.Roots, f.Where, why);
        if (!hash) {
            // Gone already; anything else there (a link, a folder) is not ours.
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0) result.Changed.push_back(path);
            continue;
        }
        if (*hash != f.Sha256) {
            result.Changed.push_back(path);
        } else if (dryRun || RemoveAt(manifest.Roots, f.Where, 0)) {
            result.Removed.push_back(path);
        } else {
            result.Problems.push_back(Shown(path) + ": " + std::strerror(errno));
        }
    }
}

void RemoveFolders(const Manifest& manifest, bool dryRun, UninstallResult& result) {
    std::vector<Place> folders = manifest.Folders;
    // The deepest first, so that a folder's own folders go before it.
    std::stable_sort(folders.begin(), folders.end(), [&](const Place& a, const Place& b) {
        return manifest.Roots.Absolute(a).size() > manifest.Roots.Absolute(b).size();
    });
    for (const Place& folder : folders) {
        const std::string path = manifest.Roots.Absolute(folder);
        if (dryRun || RemoveAt(manifest.Roots, folder, AT_REMOVEDIR)) continue;
        if (errno == ENOTEMPTY || errno == EEXIST)
            result.KeptFolders.push_back(path);
        else
            result.Problems.push_back(Shown(path) + ": " + std::strerror(errno));
    }
}

} // namespace

bool Uninstall(const std::string& folder, bool dryRun, UninstallResult& result, std::string& why) {
    std::optional<InstallLock> lock = InstallLock::Take(folder, why);
    if (!lock) {
        if (why.empty()) why = Shown(folder) + ": no such folder";
        return false;
    }
    if (!dryRun && !RecoverInstallation(*lock, folder, result.Recovered, why)) return false;
    const std::optional<Manifest> manifest = ReadPreviousManifest(folder, why);
    if (!manifest) {
        if (why.empty())
            why = Shown(folder) + ": holds no installation (" + std::string(kManifestName) +
                  " is missing)";
        return false;
    }
    result.Caption = manifest->Caption;
    RemoveFiles(*manifest, dryRun, result);
    if (!result.Problems.empty()) return true;
    // The manifest and the program go last: until then uninstalling can be run again.
    for (const std::string_view own : {kManifestName, kUninstallName}) {
        const std::string name(own);
        if (dryRun || ::unlinkat(lock->Folder().Get(), name.c_str(), 0) == 0 || errno == ENOENT)
            continue;
        result.Problems.push_back(Shown(folder + "/" + name) + ": " + std::strerror(errno));
        return true;
    }
    RemoveFolders(*manifest, dryRun, result);
    return true;
}
