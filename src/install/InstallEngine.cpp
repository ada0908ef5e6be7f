#include "install/InstallEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "common/Errors.h"
#include "huffman/Huffman.h"
#include "install/DisplayText.h"
#include "install/SafeWrite.h"
#include "install/Sha256.h"
#include "package/PackageReader.h"

namespace {

constexpr size_t kBlock = 1u << 20;

// Thrown out of the decompressor's callback when writing stops.
struct StopFilling {};

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// Fills a new file and says which mode it gets; false with why.
using Filler = std::function<bool(int fd, mode_t& mode, std::string& why)>;

class Installer {
  public:
    Installer(const SetupPackage& setup, const InstallPlan& plan, InstallProgress& progress)
        : setup_(setup), plan_(plan), progress_(progress) {}

    InstallResult Run(std::optional<InstallLock>& lock);

  private:
    bool Begin(std::optional<InstallLock>& lock, std::string& why);
    bool Record(const JournalRecord& record, std::string& why);
    FolderHandle Parent(const Place& where, std::string& why);
    bool SetAside(const FolderHandle& folder, const Place& where, const struct stat& st,
                  std::string& why);
    bool Write(const Place& where, const std::string& path, const Filler& fill, std::string& why);
    bool Carry(const PlanStep& step, std::string& why);
    bool Copy(const PlanStep& step, std::string& why);
    bool Delete(const PlanStep& step, std::string& why);
    bool FillFromEntry(int fd, const PlanStep& step, Sha256& hash, mode_t& mode, std::string& why);
    bool Commit(InstallResult& result, std::string& why);
    Manifest NewManifest() const;
    void RemoveMadeFolders();
    InstallResult Undo(InstallOutcome outcome, const std::string& why);

    const SetupPackage& setup_;
    const InstallPlan& plan_;
    InstallProgress& progress_;
    const InstallLock* lock_ = nullptr;
    Place installPlace_;
    Journal journal_;
    bool journalOpen_ = false;
    std::vector<JournalRecord> pending_; // made before the journal could exist
    std::vector<Place> made_;            // folders made, in order
    std::set<std::string> ours_;         // files this installation wrote, by path
    std::map<std::string, ManifestFile> files_;
    uint64_t done_ = 0;
    bool cancelled_ = false;
};

bool Installer::Record(const JournalRecord& record, std::string& why) {
    if (!journalOpen_) {
        pending_.push_back(record);
        return true;
    }
    return journal_.Add(record, why);
}

FolderHandle Installer::Parent(const Place& where, std::string& why) {
    const std::string& root = plan_.Roots.Folders()[static_cast<size_t>(where.Root)];
    const size_t skip = root == "/" ? 1 : root.size() + 1;
    return OpenFolderBelow(
        root, ParentOf(where.Relative), true, why,
        [&](const std::filesystem::path& folder, std::string& failure) {
            const Place made{where.Root, folder.string().substr(skip)};
            made_.push_back(made);
            return Record({JournalKind::MakeFolder, made, {}, {}, 0, 0}, failure);
        });
}

bool Installer::SetAside(const FolderHandle& folder, const Place& where, const struct stat& st,
                         std::string& why) {
    const std::string shown = Shown(plan_.Roots.Absolute(where));
    if (S_ISDIR(st.st_mode)) {
        why = shown + ": is a folder";
        return false;
    }
    const std::string aside = PrivateName("kavelo-keep");
    if (!Record({JournalKind::Keep,
                 where,
                 {},
                 aside,
                 static_cast<uint64_t>(st.st_dev),
                 static_cast<uint64_t>(st.st_ino)},
                why))
        return false;
    const std::string leaf = LeafOf(where.Relative);
    if (::renameat(folder.Get(), leaf.c_str(), folder.Get(), aside.c_str()) != 0) {
        why = shown + ": cannot be set aside: " + std::strerror(errno);
        return false;
    }
    return true;
}

// A file written under a temporary name and renamed into place; whatever was
// there and is not this installation's own is set aside first.
bool Installer::Write(const Place& where, const std::string& path, const Filler& fill,
                      std::string& why) {
    const FolderHandle folder = Parent(where, why);
    if (!folder.IsOpen()) return false;
    const std::string leaf = LeafOf(where.Relative);
    const auto existing = StatIn(folder, leaf);
    if (existing && !ours_.count(path) && !SetAside(folder, where, *existing, why)) return false;
    const std::string temp = PrivateName("kavelo-part");
    const Place tempPlace{where.Root, Join(ParentOf(where.Relative), temp)};
    if (!Record({JournalKind::Temp, tempPlace, {}, {}, 0, 0}, why)) return false;
    const std::string shown = Shown(path);
    const int fd = CreateFileIn(folder, temp, shown, why);
    if (fd < 0) return false;
    mode_t mode = 0644;
    struct stat st {};
    if (!fill(fd, mode, why) || ::fstat(fd, &st) != 0) {
        if (why.empty()) why = shown + ": " + std::strerror(errno);
        ::close(fd);
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        return false;
    }
    if (!FinishFile(folder, temp, fd, mode, shown, why)) return false;
    if (!Record({JournalKind::New,
                 where,
                 {},
                 {},
                 static_cast<uint64_t>(st.st_dev),
                 static_cast<uint64_t>(st.st_ino)},
                why) ||
        !RenameIntoPlace(folder, temp, leaf, shown, why))
        return false;
    ours_.insert(path);
    return true;
}

bool Installer::FillFromEntry(int fd, const PlanStep& step, Sha256& hash, mode_t& mode,
                              std::string& why) {
    const DirectoryEntry& e = *step.Source;
    uint64_t written = 0;
    const auto put = [&](const char* data, size_t n) {
        if (written == 0) mode = FileModeFor(std::string_view(data, std::min<size_t>(n, 4)));
        hash.Update(std::string_view(data, n));
        if (!WriteAll(fd, std::string_view(data, n))) {
            why = Shown(step.Path) + ": " + std::strerror(errno);
            return false;
        }
        written += n;
        done_ += n;
        progress_.Bytes(done_, plan_.Bytes, step.Path);
        if (progress_.Cancelled()) {
            cancelled_ = true;
            why = "cancelled";
            return false;
        }
        return true;
    };
    mode = FileModeFor("");
    if (!e.Compressed()) {
        std::string buffer(std::min<size_t>(kBlock, e.StoredSize), '\0');
        for (uint64_t at = 0; at < e.StoredSize;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, e.StoredSize - at));
            setup_.File.ReadAt(e.Offset + static_cast<int64_t>(at), buffer.data(), n);
            if (!put(buffer.data(), n)) return false;
            at += n;
        }
    } else {
        const EntryRecord record = ReadEntry(setup_.File, e);
        std::string out;
        size_t told = 0;
        try {
            DecompressHuffmanStreaming(record.Stored, out, [&](const char* data, size_t count) {
                if (!put(data + told, count - told)) throw StopFilling{};
                told = count;
            });
        } catch (const StopFilling&) {
            return false;
        }
        if (out.size() > told && !put(out.data() + told, out.size() - told)) return false;
    }
    if (written != e.Size) {
        why = Shown(step.Path) + ": the setup is damaged: " + Shown(e.Name) + " unpacks to " +
              std::to_string(written) + " bytes, not " + std::to_string(e.Size);
        return false;
    }
    return true;
}

bool Installer::Copy(const PlanStep& step, std::string& why) {
    Sha256 hash;
    const bool written = Write(
        step.Where, step.Path,
        [&](int fd, mode_t& mode, std::string& failure) {
            return FillFromEntry(fd, step, hash, mode, failure);
        },
        why);
    if (!written) return false;
    files_[step.Path] = {step.Where, step.Source->Size, hash.FinishHex(), step.Version, false};
    return true;
}

bool Installer::Delete(const PlanStep& step, std::string& why) {
    bool missing = false;
    const std::string& root = plan_.Roots.Folders()[static_cast<size_t>(step.Where.Root)];
    std::string failure;
    const FolderHandle folder =
        OpenFolderBelow(root, ParentOf(step.Where.Relative), false, failure, {}, &missing);
    files_.erase(step.Path);
    if (!folder.IsOpen()) {
        if (!missing) why = failure;
        return missing;
    }
    const std::string leaf = LeafOf(step.Where.Relative);
    const auto existing = StatIn(folder, leaf);
    if (!existing) return true;
    if (!ours_.count(step.Path)) return SetAside(folder, step.Where, *existing, why);
    // A file this installation wrote goes at once; undoing puts back what it replaced.
    ours_.erase(step.Path);
    if (::unlinkat(folder.Get(), leaf.c_str(), 0) != 0 && errno != ENOENT) {
        why = Shown(step.Path) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Installer::Carry(const PlanStep& step, std::string& why) {
    switch (step.Kind) {
    case StepKind::Note:
        return true;
    case StepKind::Copy:
        return Copy(step, why);
    case StepKind::Delete:
        return Delete(step, why);
    case StepKind::KeepRecord:
        files_[step.Path] = step.Recorded;
        return true;
    case StepKind::Launcher: {
        const bool written = Write(
            step.Where, step.Path,
            [&](int fd, mode_t& mode, std::string& failure) {
                mode = step.Mode;
                if (WriteAll(fd, step.Contents)) return true;
                failure = Shown(step.Path) + ": " + std::strerror(errno);
                return false;
            },
            why);
        if (written)
            files_[step.Path] = {step.Where, step.Contents.size(), Sha256Hex(step.Contents), "",
                                 true};
        return written;
    }
    }
    return true;
}

Manifest Installer::NewManifest() const {
    Manifest m;
    m.Caption = setup_.Line(LineCaption);
    m.Installed = UtcNow();
    m.Roots = plan_.Roots;
    for (const auto& [path, file] : files_)
        m.Files.push_back(file);
    std::set<std::string> seen;
    const auto addFolder = [&](const std::string& path) {
        auto where = m.Roots.PlaceOf(path);
        if (!where || !seen.insert(path).second) return;
        // A folder that is a root itself is removed from the folder above it.
        if (where->Relative.empty() && path != "/") {
            const size_t slash = path.rfind('/');
            where = Place{m.Roots.Add(slash == 0 ? "/" : path.substr(0, slash)),
                          path.substr(slash + 1)};
        }
        m.Folders.push_back(*where);
    };
    if (plan_.Previous) {
        for (const Place& folder : plan_.Previous->Folders) {
            const std::string path = plan_.Previous->Roots.Absolute(folder);
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
            if (!m.Roots.PlaceOf(path))
                m.Roots.Add(plan_.Previous->Roots.Folders()[static_cast<size_t>(folder.Root)]);
            addFolder(path);
        }
    }
    for (const Place& folder : made_)
        addFolder(plan_.Roots.Absolute(folder));
    return m;
}

bool Installer::Commit(InstallResult& result, std::string& why) {
    const std::string text = ManifestText(NewManifest());
    const Place manifest{installPlace_.Root,
                         Join(installPlace_.Relative, std::string(kManifestName))};
    const Place uninstall{installPlace_.Root,
                          Join(installPlace_.Relative, std::string(kUninstallName))};
    const std::string& folder = plan_.Folders.Install;
    result.Uninstall = folder + "/" + std::string(kUninstallName);
    const bool written =
        Write(
            manifest, folder + "/" + std::string(kManifestName),
            [&](int fd, mode_t& mode, std::string& failure) {
                // Never group- or world-writable: the next installation trusts only such.
                mode = 0644;
                if (WriteAll(fd, text)) return true;
                failure =
                    Shown(folder) + "/" + std::string(kManifestName) + ": " + std::strerror(errno);
                return false;
            },
            why) &&
        Write(
            uninstall, result.Uninstall,
            [&](int fd, mode_t& mode, std::string& failure) {
                mode = 0755 & ~CurrentUmask();
                std::string buffer(kBlock, '\0');
                for (int64_t at = 0; at < setup_.RuntimeLength;) {
                    const size_t n = static_cast<size_t>(
                        std::min<int64_t>(static_cast<int64_t>(kBlock), setup_.RuntimeLength - at));
                    setup_.File.ReadAt(at, buffer.data(), n);
                    if (!WriteAll(fd, std::string_view(buffer.data(), n))) {
                        failure = Shown(result.Uninstall) + ": " + std::strerror(errno);
                        return false;
                    }
                    at += static_cast<int64_t>(n);
                }
                return true;
            },
            why);
    if (!written || !Record({JournalKind::Commit, {}, {}, {}, 0, 0}, why)) return false;
    // Committed: from here on only the files set aside are left to remove.
    const RecoveryResult tidy = UndoJournal(journal_.Records(), [&](std::string& failure) {
        return journal_.Remove(lock_->Folder(), failure);
    });
    result.Problems = tidy.Problems;
    return true;
}

void Installer::RemoveMadeFolders() {
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
        std::string why;
        const FolderHandle parent =
            OpenFolderBelow(plan_.Roots.Folders()[static_cast<size_t>(folder->Root)],
                            ParentOf(folder->Relative), false, why);
        if (parent.IsOpen())
            ::unlinkat(parent.Get(), LeafOf(folder->Relative).c_str(), AT_REMOVEDIR);
    }
}

bool Installer::Begin(std::optional<InstallLock>& lock, std::string& why) {
    const auto place = plan_.Roots.PlaceOf(plan_.Folders.Install);
    if (!place) {
        why = Shown(plan_.Folders.Install) + ": not among the installation's folders";
        return false;
    }
    installPlace_ = *place;
    const Place inside{place->Root, Join(place->Relative, std::string(kManifestName))};
    if (!Parent(inside, why).IsOpen()) {
        RemoveMadeFolders();
        return false;
    }
    if (!lock) lock = InstallLock::Take(plan_.Folders.Install, why);
    if (!lock) {
        if (why.empty()) why = Shown(plan_.Folders.Install) + ": vanished while it was made";
        RemoveMadeFolders();
        return false;
    }
    lock_ = &*lock;
    if (!journal_.Create(lock_->Folder(),
                         Shown(plan_.Folders.Install) + "/" + std::string(kJournalName), why)) {
        RemoveMadeFolders();
        return false;
    }
    journalOpen_ = true;
    const auto& roots = plan_.Roots.Folders();
    for (size_t i = 0; i < roots.size(); ++i)
        if (!journal_.Add({JournalKind::Root, {static_cast<int>(i), {}}, roots[i], {}, 0, 0}, why))
            return false;
    for (const JournalRecord& r : pending_)
        if (!journal_.Add(r, why)) return false;
    pending_.clear();
    return true;
}

InstallResult Installer::Undo(InstallOutcome outcome, const std::string& why) {
    InstallResult result;
    result.Outcome = outcome;
    result.Why = why;
    if (!journalOpen_) {
        RemoveMadeFolders();
        return result;
    }
    const RecoveryResult undo = UndoJournal(journal_.Records(), [&](std::string& failure) {
        return journal_.Remove(lock_->Folder(), failure);
    });
    result.Problems = undo.Problems;
    result.KeptFolders = undo.KeptFolders;
    // Folders made before the journal could hold them (it failed while starting).
    if (!pending_.empty() && undo.Problems.empty()) RemoveMadeFolders();
    if (!undo.Problems.empty()) result.Outcome = InstallOutcome::UndoIncomplete;
    return result;
}

InstallResult Installer::Run(std::optional<InstallLock>& lock) {
    std::string why;
    try {
        if (!Begin(lock, why)) return Undo(InstallOutcome::FailedUndone, why);
        bool failed = false;
        for (const PlanStep& step : plan_.Steps) {
            if (progress_.Cancelled()) cancelled_ = true;
            if (cancelled_) break;
            progress_.Step(step);
            if (!Carry(step, why)) {
                failed = true;
                break;
            }
        }
        if (!cancelled_ && !failed) {
            InstallResult result;
            result.Outcome = InstallOutcome::Installed;
            if (Commit(result, why)) return result;
        }
    } catch (const std::exception& e) {
        // Running out of memory among them: said, and everything undone.
        why = e.what();
    }
    return Undo(cancelled_ ? InstallOutcome::Cancelled : InstallOutcome::FailedUndone,
                cancelled_ ? "cancelled" : why);
}

} // namespace

InstallResult RunInstallation(const SetupPackage& setup, const InstallPlan& plan,
                              InstallProgress& progress, std::optional<InstallLock>& lock) {
    Installer installer(setup, plan, progress);
    return installer.Run(lock);
}
