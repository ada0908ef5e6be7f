#include "install/InstallEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "common/Errors.h"
#include "install/DecodeAhead.h"
#include "install/DisplayText.h"
#include "install/FolderChain.h"
#include "install/SafeWrite.h"
#include "common/Sha256.h"
#include "package/PackageReader.h"

namespace {

constexpr size_t kBlock = 1u << 20;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// Fills a new file and gives the mode it gets; throws when it cannot.
using Filler = std::function<mode_t(int fd)>;

class Installer {
  public:
    Installer(const SetupPackage& setup, const InstallPlan& plan, InstallProgress& progress)
        : setup_(setup), plan_(plan), progress_(progress) {}

    InstallResult Run(std::optional<InstallLock>& lock);

  private:
    void Begin(std::optional<InstallLock>& lock);
    void Record(const JournalRecord& record);
    const FolderHandle& Parent(const Place& where);
    const FolderHandle& OpenMaking(int root, const std::string& relative);
    std::string TempName();
    void PutInPlace(const FolderHandle& folder, const Place& where, const std::string& temp,
                    const std::string& path);
    mode_t FileMode(mode_t base) const {
        return plan_.Roots.Rules().ExactModes ? base : base & ~umask_;
    }
    void SetAside(const FolderHandle& folder, const Place& where, const struct stat& st);
    void Write(const Place& where, const std::string& path, const Filler& fill);
    void Carry(const PlanStep& step);
    void Copy(const PlanStep& step);
    void Delete(const PlanStep& step);
    void TreeFile(const PlanStep& step);
    void Symlink(const PlanStep& step);
    std::string Fill(int fd, const PlanStep& step, std::string& digest);
    DecodeItem ItemOf(const PlanStep& step) const;
    void Commit(InstallResult& result);
    void NoteDevice(const FolderHandle& folder, dev_t device);
    void Flush(int fd, const std::string& shown);
    void FlushWritten();
    Manifest NewManifest() const;
    std::vector<std::string> UndoStart();
    InstallResult Undo(InstallOutcome outcome, const KaveloError& why);

    const SetupPackage& setup_;
    const InstallPlan& plan_;
    InstallProgress& progress_;
    const InstallLock* lock_ = nullptr;
    Place installPlace_;
    FolderChain chain_;
    Journal journal_;
    bool journalOpen_ = false;   // the journal is in place: undoing goes by it
    std::vector<Place> made_;    // folders made, in order
    std::set<std::string> ours_; // files this installation wrote, by path
    std::map<std::string, ManifestFile> files_;
    uint64_t done_ = 0;
    std::unique_ptr<DecodeAhead> ahead_;    // contents, decoded on a thread of its own
    std::map<dev_t, FolderHandle> written_; // a folder on each file system written to
    // The folders opened so far, by root and relative path: a file's folder
    // is walked to once, not once for every file in it. Only this
    // installation removes folders, and only when it is undone.
    std::map<std::pair<int, std::string>, FolderHandle> folders_;
    const mode_t umask_ = CurrentUmask();
    // Temporary names are this random number counted up: private, and no
    // call to the system for each.
    uint64_t tempNumber_ = 0;
};

void Installer::Record(const JournalRecord& record) {
    journal_.Add(record);
}

const FolderHandle& Installer::Parent(const Place& where) {
    return OpenMaking(where.Root, ParentOf(where.Relative));
}

// The folder relative to root, made with the folders on its way when
// missing, each one recorded before it is made, walked from the root's
// descriptor opened when the plan was made (once: kept open after).
const FolderHandle& Installer::OpenMaking(int root, const std::string& relative) {
    auto key = std::make_pair(root, relative);
    if (const auto found = folders_.find(key); found != folders_.end()) return found->second;
    // A bound on the descriptors held, far below the process's limit.
    if (folders_.size() >= 256) folders_.clear();
    const std::string& folder = plan_.Roots.Folders()[static_cast<size_t>(root)];
    const size_t skip = folder == "/" ? 1 : folder.size() + 1;
    FolderHandle opened =
        plan_.Roots.OpenBelow(root, relative, FolderWalk::Create,
                              [&](const std::filesystem::path& made, FolderEvent event) {
                                  const Place where{root, made.string().substr(skip)};
                                  if (event == FolderEvent::AboutToMake) {
                                      made_.push_back(where);
                                      Record({JournalKind::MakeFolder, where, {}, {}, 0, 0});
                                  } else {
                                      std::erase(made_, where);
                                      Record({JournalKind::Found, where, {}, {}, 0, 0});
                                  }
                              });
    return folders_.emplace(std::move(key), std::move(opened)).first->second;
}

std::string Installer::TempName() {
    if (tempNumber_ == 0) tempNumber_ = PrivateNumber();
    return PrivateName("kavelo-part", tempNumber_++);
}

// Renames temp over where's place in folder, never over what another put
// there: what is there and is not this installation's own is set aside
// first (its record after the new file's: undoing puts it back over the new
// file, which the new file's record then no longer finds), a folder there
// is refused.
void Installer::PutInPlace(const FolderHandle& folder, const Place& where, const std::string& temp,
                           const std::string& path) {
    const std::string leaf = LeafOf(where.Relative);
    if (RenameNoReplace(folder, temp, leaf, path)) return;
    const auto existing = StatIn(folder, leaf);
    if (existing && S_ISDIR(existing->st_mode)) {
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw Refused("is a folder", path);
    }
    if (existing && !ours_.count(path)) SetAside(folder, where, *existing);
    RenameIntoPlace(folder, temp, leaf, path);
}

void Installer::SetAside(const FolderHandle& folder, const Place& where, const struct stat& st) {
    const std::string path = plan_.Roots.Absolute(where);
    if (S_ISDIR(st.st_mode)) throw Refused("is a folder", path);
    const std::string aside = PrivateName("kavelo-keep");
    Record({JournalKind::Keep,
            where,
            {},
            aside,
            static_cast<uint64_t>(st.st_dev),
            static_cast<uint64_t>(st.st_ino)});
    const std::string leaf = LeafOf(where.Relative);
    if (::renameat(folder.Get(), leaf.c_str(), folder.Get(), aside.c_str()) != 0)
        throw IoError(errno, path, "cannot be set aside");
}

// A file written under a temporary name and renamed into place; whatever was
// there and is not this installation's own is set aside first. A temporary
// file left by a failure is in the journal, and the undo removes it.
void Installer::Write(const Place& where, const std::string& path, const Filler& fill) {
    const FolderHandle& folder = Parent(where);
    const std::string temp = TempName();
    Record({JournalKind::Temp, {where.Root, Join(ParentOf(where.Relative), temp)}, {}, {}, 0, 0});
    // Made with the mode most files keep, so that most need no change of
    // mode after; it is private until renamed into place.
    constexpr mode_t kCreated = 0644;
    FileHandle file = CreateFileIn(folder, temp, path, kCreated);
    const mode_t mode = fill(file.Get());
    // Starts writing the file to the disk now, without waiting, so that the
    // flush before the commit finds little left to do. Only a hint: the
    // flush reports what fails.
    ::sync_file_range(file.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0) throw IoError(errno, path);
    NoteDevice(folder, st.st_dev);
    FinishFile(folder, temp, file,
               (st.st_mode & 07777) == mode ? std::nullopt : std::optional(mode), path);
    Record({JournalKind::New,
            where,
            {},
            {},
            static_cast<uint64_t>(st.st_dev),
            static_cast<uint64_t>(st.st_ino)});
    PutInPlace(folder, where, temp, path);
    ours_.insert(path);
}

// Writes the step's contents, as the decoding thread hands them on, to fd;
// gives their first bytes (up to 4, for the mode), and their SHA-256 in
// digest.
std::string Installer::Fill(int fd, const PlanStep& step, std::string& digest) {
    const std::string& name = step.Entry ? step.Entry->Name : step.Source->Name;
    uint64_t written = 0;
    std::string head;
    const auto put = [&](const char* data, size_t n) {
        // A damaged entry that gives more than its size fails before it fills the disk.
        if (n > step.Size - written)
            throw DamagedInput("the setup is damaged: " + Shown(name) + " unpacks to more than " +
                                   std::to_string(step.Size) + " bytes",
                               step.Path);
        if (head.size() < 4) head.append(data, std::min<size_t>(n, 4 - head.size()));
        WriteAll(fd, std::string_view(data, n), step.Path);
        written += n;
        done_ += n;
        progress_.Bytes(done_, plan_.Bytes, step.Path);
        if (progress_.Cancelled()) throw Cancelled();
    };
    digest = ahead_->Take(ItemOf(step), put);
    if (written != step.Size)
        throw DamagedInput("the setup is damaged: " + Shown(name) + " unpacks to " +
                               std::to_string(written) + " bytes, not " + std::to_string(step.Size),
                           step.Path);
    return head;
}

// What the decoding thread decodes for step: its entry, or its file of a
// tree (numbered among all the tree's entries).
DecodeItem Installer::ItemOf(const PlanStep& step) const {
    if (step.Kind != StepKind::TreeFile) return {step.Source, DecodeItem::kWhole};
    for (const auto& tree : plan_.Trees) {
        const TreeEntry* first = tree->Entries.data();
        if (step.Entry >= first && step.Entry < first + tree->Entries.size())
            return {step.Source, static_cast<size_t>(step.Entry - first)};
    }
    throw InvalidRequest("the file is not in a tree of the plan", step.Path);
}

void Installer::Copy(const PlanStep& step) {
    std::string digest;
    Write(step.Where, step.Path,
          [&](int fd) { return FileMode(ProgramMode(Fill(fd, step, digest))); });
    files_[step.Path] = {step.Where, step.Size, std::move(digest), step.Version, false};
}

void Installer::Delete(const PlanStep& step) {
    const FolderHandle folder = plan_.Roots.OpenBelow(
        step.Where.Root, ParentOf(step.Where.Relative), FolderWalk::IfPresent);
    files_.erase(step.Path);
    if (!folder.IsOpen()) return;
    const std::string leaf = LeafOf(step.Where.Relative);
    const auto existing = StatIn(folder, leaf);
    if (!existing) return;
    if (!ours_.count(step.Path)) return SetAside(folder, step.Where, *existing);
    // A file this installation wrote goes at once; undoing puts back what it replaced.
    ours_.erase(step.Path);
    if (::unlinkat(folder.Get(), leaf.c_str(), 0) != 0 && errno != ENOENT)
        throw IoError(errno, step.Path);
}

void Installer::TreeFile(const PlanStep& step) {
    std::string digest;
    Write(step.Where, step.Path, [&](int fd) {
        Fill(fd, step, digest);
        return FileMode(step.Entry->Kind == TreeKind::Program ? 0755 : 0644);
    });
    files_[step.Path] = {step.Where, step.Size, std::move(digest), step.Version, false};
}

// A tree's link, or a command's: made under a private name beside its place
// and renamed over it, as a file is; what was there and is not ours is set
// aside first.
void Installer::Symlink(const PlanStep& step) {
    const FolderHandle& folder = Parent(step.Where);
    const std::string temp = TempName();
    Record({JournalKind::Temp,
            {step.Where.Root, Join(ParentOf(step.Where.Relative), temp)},
            {},
            {},
            0,
            0});
    const std::string& target = step.Contents;
    if (::symlinkat(target.c_str(), folder.Get(), temp.c_str()) != 0)
        throw IoError(errno, step.Path, "cannot make the link");
    const auto made = StatIn(folder, temp);
    if (!made) throw IoError(errno, step.Path, "cannot make the link");
    NoteDevice(folder, made->st_dev);
    Record({JournalKind::New,
            step.Where,
            {},
            {},
            static_cast<uint64_t>(made->st_dev),
            static_cast<uint64_t>(made->st_ino)});
    PutInPlace(folder, step.Where, temp, step.Path);
    ours_.insert(step.Path);
    files_[step.Path] = {step.Where, target.size(), LinkHash(target), step.Version, false};
}

void Installer::Carry(const PlanStep& step) {
    switch (step.Kind) {
    case StepKind::Note:
        return;
    case StepKind::Copy:
        return Copy(step);
    case StepKind::Delete:
        return Delete(step);
    case StepKind::KeepRecord:
        files_[step.Path] = step.Recorded;
        return;
    case StepKind::Launcher:
        Write(step.Where, step.Path, [&](int fd) {
            WriteAll(fd, step.Contents, step.Path);
            return step.Mode;
        });
        files_[step.Path] = {step.Where, step.Contents.size(), Sha256Hex(step.Contents), "", true};
        return;
    case StepKind::TreeFile:
        return TreeFile(step);
    case StepKind::Symlink:
        return Symlink(step);
    case StepKind::TreeFolder:
        OpenMaking(step.Where.Root, step.Where.Relative);
        return;
    }
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

void Installer::Commit(InstallResult& result) {
    const std::string text = ManifestText(NewManifest());
    const Place manifest{installPlace_.Root,
                         Join(installPlace_.Relative, std::string(kManifestName))};
    const Place uninstall{installPlace_.Root,
                          Join(installPlace_.Relative, std::string(kUninstallName))};
    const std::string& folder = plan_.Folders.Install;
    result.Uninstall = folder + "/" + std::string(kUninstallName);
    const std::string manifestPath = folder + "/" + std::string(kManifestName);
    Write(manifest, manifestPath, [&](int fd) {
        WriteAll(fd, text, manifestPath);
        // Never group- or world-writable: the next installation trusts only such.
        return static_cast<mode_t>(0644);
    });
    Write(uninstall, result.Uninstall, [&](int fd) {
        std::string buffer(kBlock, '\0');
        for (int64_t at = 0; at < setup_.RuntimeLength;) {
            const size_t n = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(kBlock), setup_.RuntimeLength - at));
            setup_.File.ReadAt(at, buffer.data(), n);
            WriteAll(fd, std::string_view(buffer.data(), n), result.Uninstall);
            at += static_cast<int64_t>(n);
        }
        return FileMode(0755);
    });
    // Its checksums were checked before the first file was written; a
    // writer that changed the setup in place since then is caught here.
    RequireUnchangedSetup(setup_);
    // Everything written reaches the disk before the commit record, and the
    // record before the files set aside go: a power loss then leaves what a
    // kill leaves.
    FlushWritten();
    Record({JournalKind::Commit, {}, {}, {}, 0, 0});
    Flush(lock_->Folder().Get(), plan_.Folders.Install);
    // Committed: from here on only the files set aside are left to remove.
    const RecoveryResult tidy =
        UndoJournal(journal_.Records(), plan_.Roots, [&] { journal_.Remove(lock_->Folder()); });
    result.Problems = tidy.Problems;
}

// One folder of each file system a file went to, for FlushWritten.
void Installer::NoteDevice(const FolderHandle& folder, dev_t device) {
    if (written_.count(device)) return;
    const int fd = ::fcntl(folder.Get(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) throw IoError(errno, plan_.Folders.Install, "cannot keep a folder open");
    written_.emplace(device, FolderHandle(fd));
}

// syncfs: one call per file system pushes every file's data, every rename
// and the journal to the disk; the bench measured it far cheaper than an
// fdatasync of each file and of each folder, which the renames would need.
void Installer::Flush(int fd, const std::string& shown) {
    if (::syncfs(fd) != 0) throw IoError(errno, shown, "cannot flush the files to the disk");
}

void Installer::FlushWritten() {
    for (const auto& [device, folder] : written_)
        Flush(folder.Get(), plan_.Folders.Install);
}

// The journal's first lines (every root, then each folder of the chain that
// is made) are written in the installation folder before the chain is in
// place: until Publish, nothing the installation made is in sight.
void Installer::Begin(std::optional<InstallLock>& lock) {
    const auto place = plan_.Roots.PlaceOf(plan_.Folders.Install);
    if (!place) throw InvalidRequest("not among the installation's folders", plan_.Folders.Install);
    installPlace_ = *place;
    if (!lock) {
        chain_.Build(plan_.Roots, installPlace_, plan_.Folders.Install);
        // Locked before it is in sight, so that no other start takes its
        // journal for an interrupted installation's.
        lock = InstallLock::Hold(chain_.TakeFolder(), plan_.Folders.Install);
    }
    lock_ = &*lock;
    journal_.Create(lock_->Folder(), plan_.Folders.Install + "/" + std::string(kJournalName));
    const auto& roots = plan_.Roots.Folders();
    for (size_t i = 0; i < roots.size(); ++i)
        journal_.Add({JournalKind::Root, {static_cast<int>(i), {}}, roots[i], {}, 0, 0});
    for (const Place& folder : chain_.Made()) {
        journal_.Add({JournalKind::MakeFolder, folder, {}, {}, 0, 0});
        made_.push_back(folder);
    }
    journal_.Sync(lock_->Folder());
    chain_.Publish();
    journalOpen_ = true;
}

// Undoes a start that failed before its journal was in place: the journal
// goes, and the chain of folders made out of sight with it.
std::vector<std::string> Installer::UndoStart() {
    std::vector<std::string> problems;
    try {
        if (journal_.IsOpen()) journal_.Remove(lock_->Folder());
    } catch (const KaveloError& e) {
        problems.push_back(ShownError(e));
    }
    for (const std::string& problem : chain_.Discard())
        problems.push_back(problem);
    return problems;
}

InstallResult Installer::Undo(InstallOutcome outcome, const KaveloError& why) {
    ahead_.reset();
    InstallResult result;
    result.Outcome = outcome;
    result.Failure = why;
    if (!journalOpen_) {
        result.Problems = UndoStart();
    } else {
        const RecoveryResult undo = UndoJournal(
            journal_.Records(), plan_.Roots, [&] { journal_.Remove(lock_->Folder()); },
            installPlace_);
        result.Problems = undo.Problems;
        result.KeptFolders = undo.KeptFolders;
    }
    if (!result.Problems.empty()) result.Outcome = InstallOutcome::UndoIncomplete;
    return result;
}

InstallResult Installer::Run(std::optional<InstallLock>& lock) {
    try {
        Begin(lock);
        std::vector<DecodeItem> contents;
        for (const PlanStep& step : plan_.Steps)
            if (step.Kind == StepKind::Copy || step.Kind == StepKind::TreeFile)
                contents.push_back(ItemOf(step));
        ahead_ = std::make_unique<DecodeAhead>(setup_.File, std::move(contents));
        for (const PlanStep& step : plan_.Steps) {
            if (progress_.Cancelled()) return Undo(InstallOutcome::Cancelled, Cancelled());
            progress_.Step(step);
            Carry(step);
        }
        InstallResult result;
        result.Outcome = InstallOutcome::Installed;
        Commit(result);
        return result;
    } catch (const Cancelled& e) {
        return Undo(InstallOutcome::Cancelled, e);
    } catch (const KaveloError& e) {
        return Undo(InstallOutcome::FailedUndone, e);
    } catch (const std::exception& e) {
        // Running out of memory among them: said, and everything undone.
        return Undo(InstallOutcome::FailedUndone, KaveloError(e.what()));
    }
}

} // namespace

InstallResult RunInstallation(const SetupPackage& setup, const InstallPlan& plan,
                              InstallProgress& progress, std::optional<InstallLock>& lock) {
    Installer installer(setup, plan, progress);
    return installer.Run(lock);
}
