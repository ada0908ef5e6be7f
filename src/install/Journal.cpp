#include "install/Journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>

#include "common/Errors.h"
#include "install/DisplayText.h"
#include "install/FolderChain.h"
#include "install/LinuxFolders.h"

namespace {

constexpr std::string_view kHeader = "kavelo-journal";
constexpr uint64_t kMaxJournalSize = 256u << 20;

struct KindName {
    JournalKind kind;
    std::string_view name;
};
constexpr KindName kKinds[] = {{JournalKind::Root, "root"},  {JournalKind::MakeFolder, "mkdir"},
                               {JournalKind::Keep, "keep"},  {JournalKind::Temp, "temp"},
                               {JournalKind::New, "new"},    {JournalKind::Commit, "commit"},
                               {JournalKind::Found, "found"}};
// The table is indexed by the kind: its order must be the enum's.
constexpr bool KindsInEnumOrder() {
    for (size_t i = 0; i < std::size(kKinds); ++i)
        if (static_cast<size_t>(kKinds[i].kind) != i) return false;
    return std::size(kKinds) == static_cast<size_t>(JournalKind::Found) + 1;
}
static_assert(KindsInEnumOrder(), "kKinds must list every JournalKind in enum order");
// The number of fields of a line of each kind, in the same order.
constexpr size_t kFieldCounts[] = {3, 3, 6, 3, 5, 1, 3};
static_assert(std::size(kFieldCounts) == std::size(kKinds));

bool ReadNumber(const std::string& text, uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// One record from its fields; false when they do not make one.
bool ReadRecord(const std::vector<std::string>& f, size_t roots, JournalRecord& r) {
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&](const KindName& k) { return k.name == f[0]; });
    if (kind == std::end(kKinds)) return false;
    r.Kind = kind->kind;
    if (f.size() != kFieldCounts[static_cast<int>(r.Kind)]) return false;
    if (r.Kind == JournalKind::Commit) return true;
    uint64_t root = 0;
    if (!ReadNumber(f[1], root)) return false;
    r.Where.Root = static_cast<int>(std::min<uint64_t>(root, 1u << 20));
    if (r.Kind == JournalKind::Root) {
        r.Folder = f[2];
        return root == roots && !r.Folder.empty() && r.Folder[0] == '/';
    }
    if (root >= roots) return false;
    r.Where.Relative = f[2];
    if (r.Kind == JournalKind::Keep) {
        r.Aside = f[3];
        return ReadNumber(f[4], r.Device) && ReadNumber(f[5], r.Inode) && !r.Aside.empty() &&
               r.Aside.find('/') == std::string::npos;
    }
    if (r.Kind == JournalKind::New) return ReadNumber(f[3], r.Device) && ReadNumber(f[4], r.Inode);
    return true;
}

bool SameFile(const struct stat& st, const JournalRecord& r) {
    return static_cast<uint64_t>(st.st_dev) == r.Device &&
           static_cast<uint64_t>(st.st_ino) == r.Inode;
}

// Carries out an undo or a tidy-up of one journal's records.
class Undo {
  public:
    explicit Undo(const RootTable& roots) : roots_(roots) {}

    // The folder a place lies in; closed when it is not there.
    FolderHandle ParentOf(const Place& where) {
        return roots_.OpenBelow(where.Root, ::ParentOf(where.Relative), FolderWalk::IfPresent);
    }

    // Runs one step of the undo; what it cannot do is kept as a problem and
    // the next step is still tried.
    template <typename Step> void Try(const Step& step) {
        try {
            step();
        } catch (const KaveloError& e) {
            result_.Problems.push_back(ShownError(e));
        }
    }

    // Removes name from where's folder when it is still the file of record r
    // (any file when r is null).
    void RemoveFile(const Place& where, const std::string& name, const JournalRecord* r) {
        FolderHandle folder = ParentOf(where);
        if (!folder.IsOpen()) return;
        const auto st = StatIn(folder, name);
        if (!st || S_ISDIR(st->st_mode) || (r && !SameFile(*st, *r))) return;
        if (::unlinkat(folder.Get(), name.c_str(), 0) != 0 && errno != ENOENT)
            throw IoError(errno, Shown(where), "cannot remove");
    }

    void PutBack(const JournalRecord& r) {
        FolderHandle folder = ParentOf(r.Where);
        if (!folder.IsOpen()) return;
        const auto st = StatIn(folder, r.Aside);
        if (!st || !SameFile(*st, r)) return;
        const std::string leaf = LeafOf(r.Where.Relative);
        if (::renameat(folder.Get(), r.Aside.c_str(), folder.Get(), leaf.c_str()) != 0)
            throw IoError(errno, Shown(r.Where), "cannot be put back");
    }

    void RemoveFolder(const Place& where) {
        FolderHandle folder = ParentOf(where);
        if (!folder.IsOpen()) return;
        const std::string leaf = LeafOf(where.Relative);
        if (::unlinkat(folder.Get(), leaf.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT) return;
        if (errno == ENOTEMPTY || errno == EEXIST)
            result_.KeptFolders.push_back(Shown(where));
        else
            throw IoError(errno, Shown(where), "cannot remove the folder");
    }

    std::string Shown(const Place& where) const { return roots_.Absolute(where); }
    RecoveryResult& Result() { return result_; }

  private:
    RootTable roots_;
    RecoveryResult result_;
};

} // namespace

std::string JournalLine(const JournalRecord& r) {
    const std::string name(kKinds[static_cast<int>(r.Kind)].name);
    const std::string root = std::to_string(r.Where.Root);
    switch (r.Kind) {
    case JournalKind::Root:
        return RecordLine({name, root, r.Folder});
    case JournalKind::Keep:
        return RecordLine({name, root, r.Where.Relative, r.Aside, std::to_string(r.Device),
                           std::to_string(r.Inode)});
    case JournalKind::New:
        return RecordLine(
            {name, root, r.Where.Relative, std::to_string(r.Device), std::to_string(r.Inode)});
    case JournalKind::Commit:
        return RecordLine({name});
    default:
        return RecordLine({name, root, r.Where.Relative});
    }
}

std::vector<JournalRecord> ReadJournal(std::string_view text, const std::string& path) {
    std::vector<JournalRecord> records;
    size_t roots = 0;
    size_t from = 0;
    for (int number = 1;; ++number) {
        const size_t end = text.find('\n', from);
        if (end == std::string_view::npos) break; // cut short by a kill, or the end
        const auto fields = ReadRecordLine(std::string(text.substr(from, end - from)));
        from = end + 1;
        if (number == 1) {
            if (!fields || fields->size() != 2 || (*fields)[0] != kHeader)
                throw DamagedInput("not a journal of an installation", path);
            continue;
        }
        JournalRecord r;
        if (!fields || !ReadRecord(*fields, roots, r))
            throw DamagedInput("line " + std::to_string(number) + " does not read", path);
        if (r.Kind == JournalKind::Root) ++roots;
        records.push_back(std::move(r));
    }
    return records;
}

Journal::~Journal() = default;

void Journal::Create(const FolderHandle& folder, const std::string& shown) {
    shown_ = shown;
    file_ =
        FileHandle(::openat(folder.Get(), std::string(kJournalName).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file_.IsOpen()) throw IoError(errno, shown);
    try {
        WriteAll(file_.Get(), RecordLine({std::string(kHeader), "1"}), shown);
    } catch (const IoError&) {
        // A journal without its first line is none: it does not stay.
        file_.Close();
        ::unlinkat(folder.Get(), std::string(kJournalName).c_str(), 0);
        throw;
    }
}

void Journal::Sync(const FolderHandle& folder) {
    if (::fdatasync(file_.Get()) != 0 || ::fsync(folder.Get()) != 0) throw IoError(errno, shown_);
}

void Journal::Add(const JournalRecord& record) {
    WriteAll(file_.Get(), JournalLine(record), shown_);
    records_.push_back(record);
}

void Journal::Remove(const FolderHandle& folder) {
    file_.Close();
    if (::unlinkat(folder.Get(), std::string(kJournalName).c_str(), 0) != 0 && errno != ENOENT)
        throw IoError(errno, shown_);
}

RecoveryResult UndoJournal(const std::vector<JournalRecord>& records, const RootTable& roots,
                           const std::function<void()>& removeJournal,
                           const std::optional<Place>& journalFolder) {
    Undo undo(roots);
    const bool committed = std::any_of(records.begin(), records.end(), [](const JournalRecord& r) {
        return r.Kind == JournalKind::Commit;
    });
    undo.Result().Committed = committed;
    std::vector<Place> folders, found;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        const std::string leaf = LeafOf(r->Where.Relative);
        if (committed) {
            // An installation commits only once every temporary file is
            // renamed into place: only the files set aside are left.
            if (r->Kind == JournalKind::Keep)
                undo.Try([&] { undo.RemoveFile(r->Where, r->Aside, &*r); });
        } else if (r->Kind == JournalKind::Temp) {
            undo.Try([&] { undo.RemoveFile(r->Where, leaf, nullptr); });
        } else if (r->Kind == JournalKind::New) {
            undo.Try([&] { undo.RemoveFile(r->Where, leaf, &*r); });
        } else if (r->Kind == JournalKind::Keep) {
            undo.Try([&] { undo.PutBack(*r); });
        } else if (r->Kind == JournalKind::MakeFolder) {
            folders.push_back(r->Where);
        } else if (r->Kind == JournalKind::Found) {
            found.push_back(r->Where);
        }
    }
    // A folder found made by another is not removed.
    std::erase_if(folders, [&](const Place& p) {
        return std::find(found.begin(), found.end(), p) != found.end();
    });
    if (!undo.Result().Problems.empty()) return undo.Result();
    // The journal goes last, so that a folder that cannot be removed leaves
    // it for the next start; only the folders that hold it go after it.
    std::vector<Place> chain;
    const std::string journalAt = journalFolder ? roots.Absolute(*journalFolder) : "";
    for (const Place& folder : folders) {
        if (journalFolder && IsBelow(journalAt, roots.Absolute(folder)))
            chain.push_back(folder);
        else
            undo.Try([&] { undo.RemoveFolder(folder); });
    }
    if (!undo.Result().Problems.empty()) return undo.Result();
    bool gone = false;
    undo.Try([&] {
        gone = !chain.empty() && RemoveChainWithJournal(roots, chain, *journalFolder, removeJournal,
                                                        undo.Result().KeptFolders);
    });
    if (gone || !undo.Result().Problems.empty()) return undo.Result();
    undo.Try(removeJournal);
    if (!undo.Result().Problems.empty()) return undo.Result();
    for (const Place& folder : chain)
        undo.Try([&] { undo.RemoveFolder(folder); });
    return undo.Result();
}

std::optional<InstallLock> InstallLock::Take(const std::string& folder, const FolderRules& rules) {
    OpenedFolder opened = OpenAbsoluteFolder(folder, rules);
    if (!opened.Complete) return std::nullopt;
    return Hold(std::move(opened.Folder), folder);
}

InstallLock InstallLock::Hold(FolderHandle folder, const std::string& path) {
    InstallLock lock;
    lock.folder_ = std::move(folder);
    if (::flock(lock.folder_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            throw Refused("another installation or uninstallation is working there", path);
        throw IoError(errno, path);
    }
    return lock;
}

InstallLock InstallLock::TakeAnchor(const std::string& folder, const FolderRules& rules) {
    OpenedFolder opened = OpenAbsoluteFolder(folder, rules);
    InstallLock lock = Hold(std::move(opened.Folder), opened.Reached);
    RemoveUnfinishedChains(lock.Folder(), opened.Reached);
    return lock;
}

namespace {

// Whether a journal's record is one an installation into the mapped folders
// can have written: its place below a folder of the mapping (a folder made
// may also lie above one, on the way to it), a temporary or kept-aside name
// of the private form.
bool Plausible(const JournalRecord& r, const RootTable& roots, const LinuxFolders& mapped) {
    if (r.Kind == JournalKind::Commit) return true;
    if (r.Kind == JournalKind::Root) return InMappedFolders(mapped, r.Folder, true);
    const std::string path = roots.Absolute(r.Where);
    const bool folder = r.Kind == JournalKind::MakeFolder || r.Kind == JournalKind::Found;
    if (!InMappedFolders(mapped, path, folder)) return false;
    if (r.Kind == JournalKind::Temp) return IsPrivateName(LeafOf(r.Where.Relative), "kavelo-part");
    if (r.Kind == JournalKind::Keep) return IsPrivateName(r.Aside, "kavelo-keep");
    return true;
}

} // namespace

Recovery RecoverInstallation(const InstallLock& lock, const std::string& folder,
                             const LinuxFolders& mapped, const FolderRules& rules) {
    const std::string name(kJournalName);
    const std::string shown = folder + "/" + name;
    Recovery recovery;
    const auto text = ReadOwnRecordFile(lock.Folder(), name, kMaxJournalSize, shown, "a journal");
    recovery.Found = text.has_value();
    if (!text) return recovery;
    const std::vector<JournalRecord> records = ReadJournal(*text, shown);
    RootTable roots;
    for (const JournalRecord& r : records)
        if (r.Kind == JournalKind::Root) roots.Add(r.Folder);
    const auto rootRecords =
        std::count_if(records.begin(), records.end(),
                      [](const JournalRecord& r) { return r.Kind == JournalKind::Root; });
    if (static_cast<size_t>(rootRecords) != roots.Folders().size())
        throw Refused("names a folder twice; not acted on", shown);
    for (size_t i = 0; i < records.size(); ++i)
        if (!Plausible(records[i], roots, mapped))
            throw Refused("line " + std::to_string(i + 2) +
                              " names a place this installation cannot have written; not acted on",
                          shown);
    roots.Open(rules);
    recovery.Result = UndoJournal(
        records, roots,
        [&] {
            if (::unlinkat(lock.Folder().Get(), name.c_str(), 0) != 0 && errno != ENOENT)
                throw IoError(errno, shown);
        },
        roots.PlaceOf(folder));
    return recovery;
}
