#include "install/FolderChain.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/Errors.h"
#include "common/Split.h"
#include "install/DisplayText.h"
#include "install/Journal.h"
#include "install/LinuxFolders.h"

namespace {

constexpr std::string_view kChain = "kavelo-chain";
// A chain deeper than this is none an installation made.
constexpr size_t kMaxDepth = 256;

// The non-empty parts of a "/"-separated path.
std::vector<std::string> Parts(std::string_view path) {
    std::vector<std::string> parts;
    for (const std::string_view part : SplitAt(path, "/"))
        if (!part.empty()) parts.emplace_back(part);
    return parts;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return (folder == "/" ? "" : folder) + "/" + name;
}

// The names in the open folder fd, "." and ".." left out.
std::vector<std::string> EntriesOf(int fd, const std::string& shown) {
    const int copy = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        const int err = errno;
        if (copy >= 0) ::close(copy);
        throw IoError(err, shown);
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

// renameat2 without replacing: EEXIST when to exists. A file system that
// cannot (EINVAL) is asked whether to exists first.
int RenameNoReplace(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    struct stat st {};
    if (::fstatat(folder, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
}

// The folders of a chain inside parent, outermost first: top, top/a, …
std::vector<std::string> ChainPaths(const std::string& top, const std::vector<std::string>& below) {
    std::vector<std::string> paths = {top};
    for (const std::string& name : below)
        paths.push_back(paths.back() + "/" + name);
    return paths;
}

// Removes a chain's journal and its folders, innermost first; paths are
// relative to parent. Throws IoError naming shown(i) for folder i.
template <typename Shown>
void RemoveChain(int parent, const std::vector<std::string>& paths, const Shown& shown) {
    const std::string journal = paths.back() + "/" + std::string(kJournalName);
    if (::unlinkat(parent, journal.c_str(), 0) != 0 && errno != ENOENT)
        throw IoError(errno, shown(paths.size() - 1) + "/" + std::string(kJournalName),
                      "cannot remove");
    for (size_t i = paths.size(); i-- > 0;)
        if (::unlinkat(parent, paths[i].c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            throw IoError(errno, shown(i), "cannot remove the folder");
}

// The folders below the chain folder name in parent, when it is one an
// interrupted installation left: folders of this user's, each holding only
// the next, the last at most a journal of this user's.
std::optional<std::vector<std::string>> UnfinishedChain(int parent, const std::string& name,
                                                        const std::string& shown) {
    std::vector<std::string> below;
    FolderHandle folder(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    while (folder.IsOpen() && below.size() < kMaxDepth) {
        struct stat st {};
        if (::fstat(folder.Get(), &st) != 0 || st.st_uid != ::geteuid()) return std::nullopt;
        const std::vector<std::string> names = EntriesOf(folder.Get(), shown);
        if (names.empty()) return below;
        if (names.size() != 1) return std::nullopt;
        const auto inner = StatIn(folder, names[0]);
        if (!inner || inner->st_uid != ::geteuid()) return std::nullopt;
        if (names[0] == kJournalName) {
            if (!S_ISREG(inner->st_mode)) return std::nullopt;
            return below;
        }
        if (!S_ISDIR(inner->st_mode)) return std::nullopt;
        below.push_back(names[0]);
        folder = FolderHandle(::openat(folder.Get(), names[0].c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return std::nullopt;
}

} // namespace

void FolderChain::Build(const RootTable& roots, const Place& where, const std::string& shown) {
    const FolderRules& rules = roots.Rules();
    const std::vector<std::string> parts = Parts(where.Relative);
    base_ = roots.OpenBelow(where.Root, "", FolderWalk::Existing);
    baseShown_ = roots.Folders()[static_cast<size_t>(where.Root)];
    size_t have = 0;
    for (; have < parts.size(); ++have) {
        FolderHandle next =
            OpenFolderBelowFd(base_.Get(), baseShown_, parts[have], FolderWalk::IfPresent, rules);
        if (!next.IsOpen()) break;
        base_ = std::move(next);
        baseShown_ = Join(baseShown_, parts[have]);
    }
    if (have == parts.size()) {
        folder_ = OpenFolderBelowFd(base_.Get(), shown, "", FolderWalk::Existing, rules);
        return;
    }
    first_ = parts[have];
    rest_.assign(parts.begin() + static_cast<std::ptrdiff_t>(have) + 1, parts.end());
    std::string relative;
    for (size_t i = 0; i < parts.size(); ++i) {
        relative = i == 0 ? parts[0] : relative + "/" + parts[i];
        if (i >= have) made_.push_back({where.Root, relative});
    }
    const std::string top = Join(baseShown_, first_);
    temp_ = PrivateName(kChain);
    if (::mkdirat(base_.Get(), temp_.c_str(), rules.FolderMode) != 0) {
        const int err = errno;
        temp_.clear();
        throw IoError(err, top);
    }
    FolderHandle made =
        OpenFolderBelowFd(base_.Get(), top, temp_, FolderWalk::Existing, FolderRules{});
    if (rules.ExactModes && ::fchmod(made.Get(), rules.FolderMode) != 0) throw IoError(errno, top);
    std::filesystem::path below;
    for (const std::string& name : rest_)
        below /= name;
    folder_ = OpenFolderBelowFd(made.Get(), top, below, FolderWalk::Create, rules);
}

void FolderChain::Publish() {
    if (temp_.empty()) return;
    const std::string top = Join(baseShown_, first_);
    if (const int err = RenameNoReplace(base_.Get(), temp_, first_)) {
        if (err == EEXIST || err == ENOTEMPTY)
            throw Refused("was made by another process meanwhile; start again", top);
        throw IoError(err, top);
    }
    temp_.clear();
    // The rename outlasts a power cut before the first file is written.
    ::fsync(base_.Get());
}

std::vector<std::string> FolderChain::Discard() {
    folder_.Close();
    if (temp_.empty()) return {};
    const std::string top = Join(baseShown_, first_);
    try {
        RemoveChain(base_.Get(), ChainPaths(temp_, rest_), [&](size_t i) {
            std::string shown = top;
            for (size_t k = 0; k < i; ++k)
                shown += "/" + rest_[k];
            return shown;
        });
    } catch (const KaveloError& e) {
        return {ShownError(e) + " (the next start removes it)"};
    }
    temp_.clear();
    return {};
}

bool RemoveChainWithJournal(const RootTable& roots, const std::vector<Place>& chain,
                            const Place& journalFolder, const std::function<void()>& removeJournal,
                            std::vector<std::string>& kept) {
    std::vector<std::string> paths;
    for (const Place& folder : chain)
        paths.push_back(roots.Absolute(folder));
    // Each holds the next: by name is outermost first.
    std::sort(paths.begin(), paths.end());
    const std::string& top = paths.front();
    const std::string journalAt = roots.Absolute(journalFolder);
    const std::vector<std::string> below =
        Parts(std::string_view(journalAt).substr(std::min(journalAt.size(), top.size())));
    // Every folder from top down to the journal's was made, none skipped.
    if (paths.back() != journalAt || below.size() + 1 != paths.size()) return false;
    const size_t slash = top.rfind('/');
    const auto parentAt = roots.PlaceOf(slash == 0 ? "/" : top.substr(0, slash));
    FolderHandle parent;
    if (parentAt)
        parent = roots.OpenBelow(parentAt->Root, parentAt->Relative, FolderWalk::IfPresent);
    if (!parent.IsOpen()) return false;
    const std::string leaf = top.substr(slash + 1);
    std::string name = leaf;
    if (UnfinishedChain(parent.Get(), leaf, top) == below) {
        const std::string temp = PrivateName(kChain);
        if (RenameNoReplace(parent.Get(), leaf, temp) == 0) name = temp;
    }
    removeJournal();
    const std::vector<std::string> relative = ChainPaths(name, below);
    for (size_t i = relative.size(); i-- > 0;) {
        if (::unlinkat(parent.Get(), relative[i].c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT)
            continue;
        if (errno != ENOTEMPTY && errno != EEXIST)
            throw IoError(errno, paths[i], "cannot remove the folder");
        kept.push_back(paths[i]);
        // Others' files came in meanwhile: the chain goes back to its name.
        if (i == 0 && name != leaf) RenameNoReplace(parent.Get(), name, leaf);
    }
    return true;
}

int RemoveUnfinishedChains(const FolderHandle& anchor, const std::string& shown) {
    int removed = 0;
    for (const std::string& name : EntriesOf(anchor.Get(), shown)) {
        if (!IsPrivateName(name, kChain)) continue;
        const std::string top = Join(shown, name);
        const auto below = UnfinishedChain(anchor.Get(), name, top);
        if (!below) continue;
        const std::vector<std::string> paths = ChainPaths(name, *below);
        RemoveChain(anchor.Get(), paths, [&](size_t i) { return Join(shown, paths[i]); });
        ++removed;
    }
    return removed;
}
