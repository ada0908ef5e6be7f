#include "install/InstallPlan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DesktopEntry.h"
#include "install/DisplayText.h"
#include "install/Journal.h"
#include "install/SafeWrite.h"
#include "install/ScriptRefusals.h"
#include "install/TreeIndex.h"
#include "package/EntryPieces.h"
#include "package/PackageReader.h"

namespace {

// The simulator keeps this many command lines for its second pass; an
// installation that would need more does not start.
constexpr size_t kMaxKeptCommands = 1025;
constexpr uint64_t kMaxManifestSize = 64u << 20;
// Room a file takes beyond its bytes (its last block, its folder entry).
constexpr uint64_t kPerFileSlack = 4096;

std::string Verb(const char* verb) {
    std::string out = verb;
    out.resize(std::max<size_t>(out.size() + 1, 8), ' ');
    return out;
}

// What a target is resolved for: only looked at (a Check), written, deleted
// or made a folder (a folder there is no error), a launcher (the desktop folder is allowed),
// or one of the installation's own files.
enum class Use { Look, Write, Delete, Folder, Launcher, Own };

// Where a target lies and what is there now.
struct Target {
    std::string Path;
    Place Where;
    std::optional<struct stat> Existing;
    std::string Folder; // the deepest folder on its way that exists
    dev_t Device = 0;
    bool IsFolder = false; // a folder is there
    // Why it cannot be written, when it cannot (outside the folders, a link
    // or a file on its way, a folder that cannot be written).
    std::optional<Refused> Blocked;
};

// A launcher a shortcut flag asks for, or why none is made here.
struct LauncherPlace {
    std::string Label; // "Menu", "Desktop", ...
    std::string Path;  // empty when skipped
    mode_t Mode = 0644;
    std::string Skipped;
};

class Planner {
  public:
    Planner(const PlanRequest& request, InstallPlan& plan)
        : request_(request), plan_(plan), strings_(request.Setup->StringsList()) {}

    void Run();

  private:
    void Command(const SelectedCommand& s);
    void Check(const SelectedCommand& s);
    void Copy(const SelectedCommand& s);
    void CopyTree(const SelectedCommand& s, const DirectoryEntry& source);
    bool TreeInstalled(const Tree& tree, const std::string& folder, const std::string& version);
    void Delete(const SelectedCommand& s);
    void Shortcuts(const SelectedCommand& s, const std::string& program);
    void CommandLink(const std::string& program);
    void DeleteCommandLink(const std::string& program);
    struct IconFile;
    void NoteIcon(const std::string& path, const std::string& bytes);
    void NoteTreeIcon(const std::string& path, const std::shared_ptr<const TreeIndex>& tree,
                      const DirectoryEntry& source, size_t k);
    const std::string& IconBytes(const IconFile& icon);
    const std::string& TreeFile(const TreeIndex& tree, const DirectoryEntry& source, size_t k);
    std::string LauncherIcon(const std::string& name, const std::string& program);
    std::string NamedIcon(const std::string& name, const std::string& icon);
    std::string IconStep(const std::string& source, const std::string& bytes,
                         const std::string& theme);
    std::shared_ptr<const TreeIndex> TreeOf(const std::string& name, const DirectoryEntry& source);
    void DeleteShortcuts(const SelectedCommand& s);
    void Upgrade();
    void Space();

    Target Locate(const std::string& path, Use use);
    Target Resolve(const std::string& path, Use use);
    // A folder on the way to targets, as the walk to it found it.
    struct WalkedFolder {
        FolderHandle Handle;            // the deepest folder reached
        std::string Folder;             // its path
        bool Complete = true;           // the whole way exists
        std::optional<Refused> Blocked; // a link or a file on the way, or an untrusted folder
        dev_t Device = 0;
        // Once asked: why it cannot be written (nullopt inside when it can).
        std::optional<std::optional<Refused>> Unwritable;
    };
    WalkedFolder& WalkTo(int root, const std::string& relative);
    void Walk(Target& t, bool writing);
    const std::string* ShortcutName(const SelectedCommand& s, ShortcutRequest& request);
    std::vector<LauncherPlace> LauncherPlaces(const ShortcutRequest& request,
                                              const std::string& name) const;
    void Note(const std::string& text, bool warning = false);
    void AddStep(PlanStep step, const Target& t, uint64_t bytes);

    const PlanRequest& request_;
    InstallPlan& plan_;
    std::vector<std::string> strings_;
    std::map<std::string, const ManifestFile*> previous_; // by absolute path
    std::set<std::string> written_; // files that will belong to the installation
    std::set<std::string> deleted_;
    // A PNG or SVG file this installation writes: its bytes, or the tree
    // file that holds them, read when a launcher shows it.
    struct IconFile {
        const std::string* Bytes = nullptr;
        std::shared_ptr<const TreeIndex> Tree;
        const DirectoryEntry* Source = nullptr;
        size_t Entry = 0;
    };
    // By path: a launcher whose target has the same stem shows it.
    std::map<std::string, IconFile> icons_;
    std::vector<std::unique_ptr<std::string>> iconBytes_;
    // Files of version 2 trees read while planning (icons), by tree and entry.
    std::map<std::pair<const DirectoryEntry*, size_t>, std::string> treeFiles_;
    std::map<std::string, std::shared_ptr<const TreeIndex>> trees_; // read, by project name
    std::map<std::pair<int, std::string>, WalkedFolder> walked_;
    std::map<dev_t, std::pair<std::string, uint64_t>> space_; // folder and bytes needed
    bool launchChosen_ = false;
};

void Planner::Note(const std::string& text, bool warning) {
    PlanStep step;
    step.Text = text;
    step.Warning = warning;
    plan_.Steps.push_back(std::move(step));
}

void Planner::AddStep(PlanStep step, const Target& t, uint64_t bytes) {
    step.Where = t.Where;
    step.Path = t.Path;
    auto& need = space_[t.Device];
    need.first = t.Folder;
    need.second += bytes + kPerFileSlack;
    plan_.Steps.push_back(std::move(step));
}

// Walks from root to the folder relative without following a link; once
// for each folder, as the targets of a tree share a few.
Planner::WalkedFolder& Planner::WalkTo(int root, const std::string& relative) {
    auto key = std::make_pair(root, relative);
    if (const auto found = walked_.find(key); found != walked_.end()) return found->second;
    // A bound on the descriptors held, far below the process's limit.
    if (walked_.size() >= 256) walked_.clear();
    WalkedFolder w;
    w.Handle = plan_.Roots.OpenBelow(root, "", FolderWalk::Existing);
    w.Folder = plan_.Roots.Folders()[static_cast<size_t>(root)];
    for (const std::string& part : PathParts(relative)) {
        const std::string shown = (w.Folder == "/" ? "" : w.Folder) + "/" + part;
        const int fd =
            ::openat(w.Handle.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            w.Complete = false;
            break;
        }
        if (fd < 0) {
            const int err = errno;
            const auto st = StatIn(w.Handle, part);
            w.Blocked = Refused(st && S_ISLNK(st->st_mode)
                                    ? "is a symbolic link; the installation never follows links"
                                : err == ENOTDIR ? "is not a folder"
                                                 : std::strerror(err),
                                shown);
            break;
        }
        w.Handle = FolderHandle(fd);
        w.Folder = shown;
        struct stat st {};
        if (plan_.Roots.Rules().Strict && ::fstat(w.Handle.Get(), &st) == 0 &&
            !UntrustedFolder(st).empty()) {
            w.Blocked = Refused(UntrustedFolder(st), shown);
            break;
        }
    }
    struct stat st {};
    if (!w.Blocked && ::fstat(w.Handle.Get(), &st) == 0) w.Device = st.st_dev;
    return walked_.emplace(std::move(key), std::move(w)).first->second;
}

// Walks from the target's root to its folder without following a link.
void Planner::Walk(Target& t, bool writing) {
    WalkedFolder& w = WalkTo(t.Where.Root, ParentOf(t.Where.Relative));
    t.Folder = w.Folder;
    if (w.Blocked) {
        t.Blocked = w.Blocked;
        return;
    }
    if (w.Complete) t.Existing = StatIn(w.Handle, LeafOf(t.Where.Relative));
    t.IsFolder = t.Existing && S_ISDIR(t.Existing->st_mode);
    t.Device = w.Device;
    if (!writing) return;
    if (!w.Unwritable)
        w.Unwritable =
            ::faccessat(w.Handle.Get(), ".", W_OK | X_OK, AT_EACCESS) == 0
                ? std::nullopt
                : std::optional<Refused>(Refused(
                      std::string("cannot write there: ") + std::strerror(errno), w.Folder));
    if (*w.Unwritable) t.Blocked = **w.Unwritable;
}

// Where path lies and what is there; what stops it being written is kept in
// Blocked, for the caller to refuse or to note.
Target Planner::Locate(const std::string& path, Use use) {
    Target t;
    t.Path = path;
    const bool writing = use != Use::Look;
    if (writing) {
        t.Blocked = RefusedTarget(plan_.Folders, path,
                                  use == Use::Launcher ? TargetUse::Launcher
                                  : use == Use::Own    ? TargetUse::Own
                                                       : TargetUse::Write);
        if (t.Blocked) return t;
    }
    const std::optional<Place> where = plan_.Roots.PlaceOf(path);
    if (!where) {
        // A Check outside the installation's folders only looks.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) t.Existing = st;
        return t;
    }
    t.Where = *where;
    Walk(t, writing);
    return t;
}

Target Planner::Resolve(const std::string& path, Use use) {
    Target t = Locate(path, use);
    if (t.Blocked) throw *t.Blocked;
    if (t.IsFolder && use != Use::Delete && use != Use::Folder)
        throw Refused("is a folder", t.Path);
    return t;
}

const std::string* Planner::ShortcutName(const SelectedCommand& s, ShortcutRequest& request) {
    const InstallCommand& c = s.Command;
    const auto read = ReadShortcutText(c.ShortcutText);
    if (!read) {
        Note("Warning: no shortcut string: " + Shown(s.Line), true);
        return nullptr;
    }
    request = *read;
    const std::string& name = strings_[static_cast<size_t>(request.Text - 1)];
    if (name.empty()) {
        Note("Warning: text " + std::to_string(request.Text) +
                 " is empty, so the shortcut gets no launcher: " + Shown(s.Line),
             true);
        return nullptr;
    }
    return &name;
}

std::vector<LauncherPlace> Planner::LauncherPlaces(const ShortcutRequest& request,
                                                   const std::string& name) const {
    const LinuxFolders& f = plan_.Folders;
    const std::string sub = MenuSubfolder(request_.Setup->Line(LineStartMenuFolder));
    const std::string file = (sub.empty() ? "" : sub + "/") + LauncherName(name) + ".desktop";
    const FolderRules& rules = plan_.Roots.Rules();
    const mode_t menuMode = InstallFileMode(0644, rules);
    std::vector<LauncherPlace> places;
    const std::string shown = "\"" + Shown(name) + "\"";
    // As root, "a" puts the menu entry where every user sees it, instead of "s".
    if (request.Has('s') && !(request_.Root && request.Has('a')))
        places.push_back({"Menu", f.Menu + "/" + file, menuMode, ""});
    if (request.Has('a')) {
        if (request_.Root)
            places.push_back({"Menu (all users)", f.AllUsersMenu + "/" + file, menuMode, ""});
        else
            places.push_back({"", "", 0,
                              "Skipped all-users menu entry " + shown +
                                  ": only an installation run as root makes one"});
    }
    if (request.Has('d')) {
        if (!f.Desktop.empty())
            places.push_back({"Desktop", f.Desktop + "/" + LauncherName(name) + ".desktop",
                              InstallFileMode(0755, rules), ""});
        else
            places.push_back(
                {"", "", 0, "Skipped desktop icon " + shown + ": there is no desktop folder"});
    }
    if (request.Has('q'))
        places.push_back(
            {"", "", 0,
             "Skipped quick-launch icon " + shown + ": Linux desktops have no quick-launch bar"});
    return places;
}

// The flag letters of a shortcut text: the text before its first blank.
std::string ShortcutFlags(const std::string& text) {
    return LowerAscii(text.substr(0, text.find(' ')));
}

// "c": a link named like the program in the command folder, on the PATH.
void Planner::CommandLink(const std::string& program) {
    const std::string& folder = plan_.Folders.Commands;
    const std::string path = folder + "/" + LeafOf(program);
    const Target t = Resolve(path, Use::Write);
    PlanStep step;
    step.Kind = StepKind::Symlink;
    step.Contents = program;
    step.Size = program.size();
    step.Text = Verb("Command") + Shown(path) + " -> " + Shown(program);
    written_.insert(path);
    deleted_.erase(path);
    AddStep(std::move(step), t, program.size());
    const char* env = std::getenv("PATH");
    if (!request_.Root &&
        (":" + std::string(env ? env : "") + ":").find(":" + folder + ":") == std::string::npos)
        Note("Note: " + Shown(folder) + " is not on the PATH; add it to run " +
             Shown(LeafOf(program)) + " by its name");
}

// "c" on a Del line: the command link to program goes, when it is one an
// installation made (a link to program) or one this installation makes.
void Planner::DeleteCommandLink(const std::string& program) {
    const std::string path = plan_.Folders.Commands + "/" + LeafOf(program);
    const Target t = Resolve(path, Use::Delete);
    const bool ours =
        written_.count(path) || (t.Existing && S_ISLNK(t.Existing->st_mode) &&
                                 HashFileAt(plan_.Roots, t.Where) == LinkHash(program));
    if (!ours) {
        if (t.Existing)
            Note(Verb("Keep") + Shown(path) + ": not the command link to " + Shown(program) +
                 ", left in place");
        return;
    }
    PlanStep step;
    step.Kind = StepKind::Delete;
    step.Text = Verb("Delete") + Shown(path) + " (command)";
    written_.erase(path);
    deleted_.insert(path);
    AddStep(std::move(step), t, 0);
}

void Planner::NoteIcon(const std::string& path, const std::string& bytes) {
    if (path.ends_with(".png") || path.ends_with(".svg")) icons_[path] = {&bytes, {}, nullptr, 0};
}

void Planner::NoteTreeIcon(const std::string& path, const std::shared_ptr<const TreeIndex>& tree,
                           const DirectoryEntry& source, size_t k) {
    if (path.ends_with(".png") || path.ends_with(".svg"))
        icons_[path] = {nullptr, tree, &source, k};
}

const std::string& Planner::IconBytes(const IconFile& icon) {
    return icon.Bytes ? *icon.Bytes : TreeFile(*icon.Tree, *icon.Source, icon.Entry);
}

const std::string& Planner::TreeFile(const TreeIndex& tree, const DirectoryEntry& source,
                                     size_t k) {
    const auto [at, fresh] = treeFiles_.try_emplace({&source, k});
    if (fresh) at->second = ReadTreeFile(request_.Setup->File, source, tree, k);
    return at->second;
}

// The icon a launcher of program gets: a PNG or SVG beside it with its stem,
// installed into the hicolor theme of the data folder; the generic program
// icon when there is none.
std::string Planner::LauncherIcon(const std::string& name, const std::string& program) {
    const size_t slash = program.rfind('/');
    const size_t dot = program.rfind('.');
    const std::string stem =
        dot != std::string::npos && dot > slash ? program.substr(0, dot) : program;
    for (const char* ext : {".svg", ".png"}) {
        const auto icon = icons_.find(stem + ext);
        if (icon == icons_.end()) continue;
        const std::string& bytes = IconBytes(icon->second);
        const std::string theme = IconThemePath(name, icon->first, bytes);
        if (!theme.empty()) return IconStep(icon->first, bytes, theme);
    }
    return "application-x-executable";
}

// The icon file a launcher names (the sixth field): a file of the setup or a
// file inside one of its trees, installed as LauncherIcon installs one.
std::string Planner::NamedIcon(const std::string& name, const std::string& icon) {
    const auto reference = ReadTreeReference(icon);
    const std::string project = reference ? reference->Tree : LowerAscii(icon);
    const DirectoryEntry* source = request_.Setup->FindUserFile(project);
    if (!source) throw InvalidRequest("the setup carries no icon file \"" + Shown(icon) + "\"");
    const std::string* bytes = nullptr;
    if (reference) {
        const std::shared_ptr<const TreeIndex> tree = TreeOf(project, *source);
        const auto& entries = tree->Entries.Entries;
        for (size_t k = 0; k < entries.size() && !bytes; ++k)
            if (entries[k].Name == reference->Inside &&
                (entries[k].Kind == TreeKind::File || entries[k].Kind == TreeKind::Program)) {
                bytes = &TreeFile(*tree, *source, k);
            }
        if (!bytes) throw InvalidRequest("the tree holds no such file", icon);
    } else {
        iconBytes_.push_back(
            std::make_unique<std::string>(ReadEntryContents(request_.Setup->File, *source)));
        bytes = iconBytes_.back().get();
    }
    const std::string theme = IconThemePath(name, LowerAscii(icon), *bytes);
    if (theme.empty())
        throw InvalidRequest("is neither an SVG file nor a square PNG of 16 to 1024 pixels", icon);
    return IconStep(icon, *bytes, theme);
}

// Installs an icon into the data folder's icon theme; its theme name.
std::string Planner::IconStep(const std::string& source, const std::string& bytes,
                              const std::string& theme) {
    const std::string path = plan_.Folders.Share + "/icons/" + theme;
    const Target t = Resolve(path, Use::Write);
    PlanStep step;
    step.Kind = StepKind::Launcher;
    step.Contents = bytes;
    step.Size = step.Contents.size();
    step.Mode = InstallFileMode(0644, plan_.Roots.Rules());
    step.Text = Verb("Icon") + Shown(source) + " -> " + Shown(path);
    written_.insert(path);
    deleted_.erase(path);
    AddStep(std::move(step), t, bytes.size());
    return LeafOf(theme).substr(0, LeafOf(theme).rfind('.'));
}

// A tree's names, sizes, link targets and icons, read once: the other
// contents are decoded again as they are written.
std::shared_ptr<const TreeIndex> Planner::TreeOf(const std::string& name,
                                                 const DirectoryEntry& source) {
    auto& index = trees_[name];
    if (!index) {
        index = std::make_shared<const TreeIndex>(ReadTreeIndex(request_.Setup->File, source));
        plan_.Trees.push_back(std::shared_ptr<const Tree>(index, &index->Entries));
    }
    return index;
}

void Planner::Shortcuts(const SelectedCommand& s, const std::string& program) {
    const InstallCommand& c = s.Command;
    if (c.ShortcutText.empty()) return;
    const std::string flags = ShortcutFlags(c.ShortcutText);
    if (flags.find('c') != std::string::npos) CommandLink(program);
    // "C" alone asks for the command only: no text names a launcher.
    if (flags.find_first_not_of('c') == std::string::npos &&
        c.ShortcutText.find(' ') == std::string::npos)
        return;
    ShortcutRequest request;
    const std::string* name = ShortcutName(s, request);
    if (!name) return;
    Launcher launcher{*name, program, SplitOptions(c.Options)};
    launcher.Terminal = request.Has('t');
    launcher.Categories = LauncherCategories(request.Categories);
    const std::vector<LauncherPlace> places = LauncherPlaces(request, *name);
    if (std::any_of(places.begin(), places.end(), [](const auto& p) { return !p.Path.empty(); }))
        launcher.Icon = c.Icon.empty() ? LauncherIcon(*name, program) : NamedIcon(*name, c.Icon);
    // Only a program this installation writes is started at its end.
    if (!launchChosen_ && request.Has('s') && written_.count(program)) {
        plan_.LaunchProgram = program;
        plan_.LaunchArguments = launcher.Arguments;
        launchChosen_ = true;
    }
    for (const LauncherPlace& place : places) {
        if (place.Path.empty()) {
            Note(place.Skipped);
            continue;
        }
        const Target t = Resolve(place.Path, Use::Launcher);
        PlanStep step;
        step.Kind = StepKind::Launcher;
        step.Contents = DesktopEntryText(launcher);
        step.Size = step.Contents.size();
        step.Mode = place.Mode;
        step.Text = Verb(place.Label.c_str()) + Shown(*name) + " -> " + Shown(place.Path);
        written_.insert(place.Path);
        deleted_.erase(place.Path);
        const uint64_t bytes = step.Size;
        AddStep(std::move(step), t, bytes);
    }
}

void Planner::Check(const SelectedCommand& s) {
    const InstallCommand& c = s.Command;
    const std::string path = LinuxPath(c.TargetPath);
    const Target t = Resolve(path, Use::Look);
    const auto recorded = previous_.find(path);
    const std::string head = Verb("Check") + Shown(path) + ": ";
    if (!t.Existing) {
        Note(head + "not installed, passes");
    } else if (recorded == previous_.end() || recorded->second->Version.empty()) {
        Note(head + "no version recorded for it, passes");
    } else if (CompareVersions(recorded->second->Version, c.Version) < 0) {
        throw Refused("version " + Shown(recorded->second->Version) + " is installed, lower than " +
                          Shown(c.Version) + "; the installation stops",
                      path);
    } else {
        Note(head + "version " + Shown(recorded->second->Version) + " recorded, passes");
    }
}

// Whether an earlier installation recorded the tree's files below folder
// with versions none of which is lower than version: then the tree is kept.
bool Planner::TreeInstalled(const Tree& tree, const std::string& folder,
                            const std::string& version) {
    if (version.empty()) return false;
    bool any = false;
    for (const TreeEntry& e : tree.Entries) {
        if (e.Kind == TreeKind::Folder) continue;
        const auto recorded = previous_.find(folder + "/" + e.Name);
        if (recorded == previous_.end()) continue;
        if (recorded->second->Version.empty() ||
            CompareVersions(recorded->second->Version, version) < 0)
            return false;
        any = true;
    }
    return any;
}

// A tree fills its target folder: each of its files, links and folders is
// planned as a copy of its own, checked like any target.
void Planner::CopyTree(const SelectedCommand& s, const DirectoryEntry& source) {
    const InstallCommand& c = s.Command;
    const std::shared_ptr<const TreeIndex> index = TreeOf(LowerAscii(c.FileName), source);
    const Tree* tree = &index->Entries;
    const std::string folder = LinuxPath(c.TargetPath);
    // What "kavelo check" refuses of a tree, before anything of it is planned.
    if (auto refused = RefusedTreeCopy(plan_.Folders, folder, *tree)) throw *refused;
    const bool keep = TreeInstalled(*tree, folder, c.Version);
    if (keep)
        Note(Verb("Skip") + Shown(c.FileName) + " -> " + Shown(folder) + ": version " +
             Shown(c.Version) + " or higher recorded");
    else
        Note(Verb("Copy") + Shown(c.FileName) + " -> " + Shown(folder) + ": " +
             std::to_string(tree->FileCount()) + " files");
    for (size_t k = 0; k < tree->Entries.size(); ++k) {
        const TreeEntry& e = tree->Entries[k];
        const uint64_t size = index->Sizes[k];
        const std::string path = folder + "/" + e.Name;
        const bool isFolder = e.Kind == TreeKind::Folder;
        const Target t = Resolve(path, isFolder ? Use::Folder : Use::Write);
        if (isFolder && t.Existing && !t.IsFolder)
            throw Refused(S_ISLNK(t.Existing->st_mode)
                              ? "is a symbolic link; the installation never follows links"
                              : "is not a folder",
                          path);
        PlanStep step;
        if (isFolder) {
            step.Kind = StepKind::TreeFolder;
            step.Text = Verb("Folder") + Shown(path);
            AddStep(std::move(step), t, 0);
            continue;
        }
        const auto recorded = previous_.find(path);
        if (keep && t.Existing && recorded != previous_.end()) {
            step.Kind = StepKind::KeepRecord;
            step.Recorded = *recorded->second;
            step.Recorded.Where = t.Where;
            step.Text = Verb("Keep") + Shown(path);
            AddStep(std::move(step), t, 0);
        } else {
            step.Kind = e.Kind == TreeKind::Link ? StepKind::Symlink : StepKind::TreeFile;
            step.Entry = &e;
            step.Source = &source;
            if (e.Kind == TreeKind::Link) step.Contents = e.Data;
            if (e.Kind != TreeKind::Link) NoteTreeIcon(path, index, source, k);
            step.Size = size;
            step.Version = c.Version;
            step.Text = Verb(e.Kind == TreeKind::Link ? "Link" : "Copy") + Shown(e.Name) + " -> " +
                        Shown(path);
            if (e.Kind != TreeKind::Link) plan_.Bytes += size;
            AddStep(std::move(step), t, size);
        }
        written_.insert(path);
        deleted_.erase(path);
    }
    if (!c.ShortcutText.empty())
        Note("Warning: a tree gets no launcher; name a file inside it on a Link line "
             "(app.tree/bin/app): " +
                 Shown(s.Line),
             true);
}

void Planner::Copy(const SelectedCommand& s) {
    const InstallCommand& c = s.Command;
    const auto tree = ReadTreeReference(c.FileName);
    const DirectoryEntry* source = request_.Setup->FindUserFile(LowerAscii(c.FileName));
    if (!source) throw InvalidRequest("the setup carries no file \"" + Shown(c.FileName) + "\"");
    if (tree) return CopyTree(s, *source);
    if (const std::string lower = LowerAscii(c.TargetPath);
        lower.ends_with(".png") || lower.ends_with(".svg")) {
        iconBytes_.push_back(
            std::make_unique<std::string>(ReadEntryContents(request_.Setup->File, *source)));
        NoteIcon(LinuxPath(c.TargetPath), *iconBytes_.back());
    }
    const std::string path = LinuxPath(c.TargetPath);
    const Target t = Resolve(path, Use::Write);
    const auto recorded = previous_.find(path);
    PlanStep step;
    if (!c.Version.empty() && t.Existing && recorded != previous_.end() &&
        !recorded->second->Version.empty() &&
        CompareVersions(recorded->second->Version, c.Version) >= 0) {
        step.Kind = StepKind::KeepRecord;
        step.Recorded = *recorded->second;
        step.Recorded.Where = t.Where;
        step.Text = Verb("Skip") + Shown(c.FileName) + " -> " + Shown(path) + ": version " +
                    Shown(recorded->second->Version) + " recorded, not lower than " +
                    Shown(c.Version);
        AddStep(std::move(step), t, 0);
    } else {
        step.Kind = StepKind::Copy;
        step.Source = source;
        step.Size = source->Size;
        step.Version = c.Version;
        step.Text = Verb("Copy") + Shown(c.FileName) + " -> " + Shown(path);
        plan_.Bytes += source->Size;
        AddStep(std::move(step), t, source->Size);
    }
    written_.insert(path);
    deleted_.erase(path);
    Shortcuts(s, path);
}

void Planner::Delete(const SelectedCommand& s) {
    const InstallCommand& c = s.Command;
    // "Del ,99,,,S 4" removes shortcuts only: its target is just "\".
    if (c.TargetPath != "\\") {
        const std::string path = LinuxPath(c.TargetPath);
        const Target t = Resolve(path, Use::Delete);
        if (t.IsFolder) {
            Note("Warning: " + Shown(path) + " is a folder; Del removes files only", true);
        } else if (t.Existing || written_.count(path)) {
            PlanStep step;
            step.Kind = StepKind::Delete;
            step.Text = Verb("Delete") + Shown(path);
            AddStep(std::move(step), t, 0);
        } else {
            Note(Verb("Delete") + Shown(path) + ": not there");
        }
        written_.erase(path);
        deleted_.insert(path);
        if (ShortcutFlags(c.ShortcutText).find('c') != std::string::npos) DeleteCommandLink(path);
    } else if (ShortcutFlags(c.ShortcutText).find('c') != std::string::npos) {
        Note("Warning: a command is named after its target, and this line names none: " +
                 Shown(s.Line),
             true);
    }
    DeleteShortcuts(s);
}

void Planner::DeleteShortcuts(const SelectedCommand& s) {
    const std::string& text = s.Command.ShortcutText;
    // "C" alone removes the command only: no text names a launcher.
    if (text.empty() || (ShortcutFlags(text).find_first_not_of('c') == std::string::npos &&
                         text.find(' ') == std::string::npos))
        return;
    ShortcutRequest request;
    const std::string* name = ShortcutName(s, request);
    if (!name) return;
    for (const LauncherPlace& place : LauncherPlaces(request, *name)) {
        if (place.Path.empty()) continue;
        const Target t = Resolve(place.Path, Use::Launcher);
        if (!t.Existing && !written_.count(place.Path)) continue;
        PlanStep step;
        step.Kind = StepKind::Delete;
        step.Text = Verb("Delete") + Shown(place.Path) + " (launcher)";
        written_.erase(place.Path);
        deleted_.insert(place.Path);
        AddStep(std::move(step), t, 0);
    }
}

void Planner::Command(const SelectedCommand& s) {
    const InstallCommand& c = s.Command;
    try {
        const SetupContents setup{
            [this](const std::string& name) {
                return request_.Setup->FindUserFile(name) != nullptr;
            },
            [this](const std::string& name) -> const Tree& {
                return TreeOf(name, *request_.Setup->FindUserFile(name))->Entries;
            },
            [this](const std::string& name, const TreeEntry& entry) -> std::string {
                const DirectoryEntry& source = *request_.Setup->FindUserFile(name);
                const std::shared_ptr<const TreeIndex> tree = TreeOf(name, source);
                const size_t k = static_cast<size_t>(&entry - tree->Entries.Entries.data());
                return TreeFile(*tree, source, k).substr(0, kIconHeadSize);
            },
            [this](const std::string& name) {
                return DecodePrefix(
                    StoredInSource(request_.Setup->File, *request_.Setup->FindUserFile(name)),
                    kIconHeadSize);
            }};
        CheckCommandLine(c, setup);
        if (c.Kind == InstallCheck)
            Check(s);
        else if (c.Kind == InstallCopy)
            Copy(s);
        else if (c.Kind == InstallDel)
            Delete(s);
        else if (c.Kind == InstallLink)
            Shortcuts(s, LinuxPath(c.TargetPath));
    } catch (KaveloError& e) {
        // The script line goes with the error, which goes on.
        e.SetContext(s.Line);
        throw;
    }
}

// Files of the earlier installation that this one no longer writes go, unless
// they were changed since.
void Planner::Upgrade() {
    if (!plan_.Previous) return;
    const Manifest& previous = *plan_.Previous;
    for (const ManifestFile& f : previous.Files) {
        const std::string path = previous.Roots.Absolute(f.Where);
        if (written_.count(path) || deleted_.count(path)) continue;
        const Target t = Locate(path, f.Launcher ? Use::Launcher : Use::Write);
        if (t.Blocked) {
            Note("Warning: left in place: " + ShownError(*t.Blocked), true);
            continue;
        }
        if (!t.Existing || t.IsFolder) continue;
        const auto hash = HashFileAt(plan_.Roots, t.Where);
        if (!hash || *hash != f.Sha256) {
            Note(Verb("Keep") + Shown(path) + ": changed since it was installed, left in place");
            continue;
        }
        PlanStep step;
        step.Kind = StepKind::Delete;
        step.Text = Verb("Remove") + Shown(path) + ": no longer part of the installation";
        deleted_.insert(path);
        AddStep(std::move(step), t, 0);
    }
}

void Planner::Space() {
    const Target own = Resolve(plan_.Folders.Install + "/" + std::string(kManifestName), Use::Own);
    auto& need = space_[own.Device];
    need.first = own.Folder;
    need.second += static_cast<uint64_t>(request_.Setup->RuntimeLength) + (1u << 20);
    for (const auto& [device, folderNeed] : space_) {
        struct statvfs vfs {};
        if (::statvfs(folderNeed.first.c_str(), &vfs) != 0) continue;
        const uint64_t blocks = request_.Root ? vfs.f_bfree : vfs.f_bavail;
        const uint64_t free = blocks * vfs.f_frsize;
        if (folderNeed.second > free)
            throw KaveloError("not enough space for the installation on the file system of " +
                              Shown(folderNeed.first) + ": " +
                              std::to_string(folderNeed.second / 1024) + " KB needed, " +
                              std::to_string(free / 1024) + " KB free");
    }
}

void Planner::Run() {
    if (plan_.Previous)
        for (const ManifestFile& f : plan_.Previous->Files)
            previous_[plan_.Previous->Roots.Absolute(f.Where)] = &f;
    const std::vector<SelectedCommand> commands = SelectInstallCommands(
        request_.Setup->Script, request_.Selection, ScriptFolders(plan_.Folders));
    size_t kept = 0;
    for (const SelectedCommand& s : commands) {
        if (s.Command.Kind == InstallCheck) continue;
        if (++kept > kMaxKeptCommands)
            throw InvalidRequest(Shown(s.Line) + ": the script selects more than 1025 commands; "
                                                 "the installation does not start");
    }
    if (kept == 0) throw InvalidRequest("nothing to install for this selection");
    for (const SelectedCommand& s : commands)
        Command(s);
    Upgrade();
    Space();
}

} // namespace

std::optional<Manifest> ReadPreviousManifest(const std::string& folder, const FolderRules& rules) {
    const OpenedFolder dir = OpenAbsoluteFolder(folder, rules);
    if (!dir.Complete) return std::nullopt;
    const std::string path = folder + "/" + std::string(kManifestName);
    const auto text = ReadOwnRecordFile(dir.Folder, std::string(kManifestName), kMaxManifestSize,
                                        path, "a manifest");
    if (!text) return std::nullopt;
    return ReadManifest(*text, path);
}

InstallPlan PlanInstallation(const PlanRequest& request) {
    InstallPlan plan;
    plan.Folders = request.Folders;
    const LinuxFolders& f = plan.Folders;
    // Each root is opened once, now; everything after walks from there.
    for (const std::string* folder :
         {&f.Install, &f.Lib, &f.Share, &f.AllUsersMenu, &f.Desktop, &f.Commands})
        if (!folder->empty()) plan.Roots.Add(OpenAbsoluteFolder(*folder, request.Rules).Reached);
    plan.Roots.Open(request.Rules);
    plan.Previous = ReadPreviousManifest(f.Install, request.Rules);
    Planner planner(request, plan);
    planner.Run();
    return plan;
}
