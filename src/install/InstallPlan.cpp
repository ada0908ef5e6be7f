#include "install/InstallPlan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "common/AsciiCase.h"
#include "install/DesktopEntry.h"
#include "install/DisplayText.h"
#include "install/Journal.h"
#include "install/SafeWrite.h"

namespace {

// The simulator keeps this many command lines for its second pass; an
// installation that would need more does not start.
constexpr size_t kMaxKeptCommands = 1025;
constexpr uint64_t kMaxManifestSize = 64u << 20;
// Room a file takes beyond its bytes (its last block, its folder entry).
constexpr uint64_t kPerFileSlack = 4096;

// The deepest part of folder that exists.
std::string Anchor(const std::string& folder) {
    std::string path = folder;
    struct stat st {};
    while (path != "/" && ::stat(path.c_str(), &st) != 0) {
        const size_t slash = path.rfind('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return path;
}

std::string Verb(const char* verb) {
    std::string out = verb;
    out.resize(std::max<size_t>(out.size() + 1, 8), ' ');
    return out;
}

// Where a target lies and what is there now.
struct Target {
    std::string Path;
    Place Where;
    std::optional<struct stat> Existing;
    std::string Folder; // the deepest folder on its way that exists
    dev_t Device = 0;
    bool IsFolder = false; // a folder is there
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

    bool Run(std::string& why);

  private:
    bool Command(const SelectedCommand& s, std::string& why);
    bool Check(const SelectedCommand& s, std::string& why);
    bool Copy(const SelectedCommand& s, std::string& why);
    bool Delete(const SelectedCommand& s, std::string& why);
    bool Shortcuts(const SelectedCommand& s, const std::string& program, std::string& why);
    bool DeleteShortcuts(const SelectedCommand& s, std::string& why);
    bool Upgrade(std::string& why);
    bool Space(std::string& why);

    bool Resolve(const std::string& path, bool writing, Target& t, std::string& why,
                 bool ownFile = false, bool folderOk = false);
    bool Walk(Target& t, bool writing, std::string& why);
    bool Allowed(const std::string& path) const;
    std::string AllowedList() const;
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

bool Planner::Allowed(const std::string& path) const {
    const LinuxFolders& f = plan_.Folders;
    for (const std::string* folder : {&f.Install, &f.Lib, &f.Share, &f.AllUsersMenu, &f.Desktop})
        if (!folder->empty() && IsBelow(path, *folder)) return true;
    return false;
}

std::string Planner::AllowedList() const {
    const LinuxFolders& f = plan_.Folders;
    std::string list = f.Install + ", " + f.Lib + ", " + f.Share;
    if (!f.AllUsersMenu.empty()) list += ", " + f.AllUsersMenu;
    if (!f.Desktop.empty()) list += ", " + f.Desktop;
    return list;
}

// Walks from the target's root to its folder without following a link.
bool Planner::Walk(Target& t, bool writing, std::string& why) {
    const std::string& root = plan_.Roots.Folders()[static_cast<size_t>(t.Where.Root)];
    FolderHandle folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        why = Shown(root) + ": " + std::strerror(errno);
        return false;
    }
    t.Folder = root;
    bool complete = true;
    for (const std::string& part : PathParts(ParentOf(t.Where.Relative))) {
        const std::string shown = (t.Folder == "/" ? "" : t.Folder) + "/" + part;
        const int fd =
            ::openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            complete = false;
            break;
        }
        if (fd < 0) {
            const auto st = StatIn(folder, part);
            why = Shown(shown) + (st && S_ISLNK(st->st_mode)
                                      ? ": is a symbolic link; the installation never follows links"
                                  : errno == ENOTDIR ? ": is not a folder"
                                                     : std::string(": ") + std::strerror(errno));
            return false;
        }
        folder = FolderHandle(fd);
        t.Folder = shown;
    }
    if (complete) t.Existing = StatIn(folder, LeafOf(t.Where.Relative));
    t.IsFolder = t.Existing && S_ISDIR(t.Existing->st_mode);
    struct stat st {};
    if (::fstat(folder.Get(), &st) == 0) t.Device = st.st_dev;
    if (writing && ::faccessat(folder.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        why = Shown(t.Folder) + ": cannot write there: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Planner::Resolve(const std::string& path, bool writing, Target& t, std::string& why,
                      bool ownFile, bool folderOk) {
    t = Target{};
    t.Path = path;
    if (writing && !Allowed(path)) {
        why = Shown(path) + ": lies outside the folders this installation may write to (" +
              AllowedList() + ")";
        return false;
    }
    const bool own = LeafOf(path).starts_with(".kavelo-") ||
                     path == plan_.Folders.Install + "/" + std::string(kUninstallName);
    if (own && !ownFile) {
        why = Shown(path) + ": is a name the installation keeps for its own files";
        return false;
    }
    const std::optional<Place> where = plan_.Roots.PlaceOf(path);
    if (!where) {
        // A Check outside the installation's folders only looks.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) t.Existing = st;
        return true;
    }
    t.Where = *where;
    if (!Walk(t, writing, why)) return false;
    if (t.IsFolder && !folderOk) {
        why = Shown(t.Path) + ": is a folder";
        return false;
    }
    return true;
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
    const mode_t mask = CurrentUmask();
    std::vector<LauncherPlace> places;
    const std::string shown = "\"" + Shown(name) + "\"";
    // As root, "a" puts the menu entry where every user sees it, instead of "s".
    if (request.Has('s') && !(request_.Root && request.Has('a')))
        places.push_back({"Menu", f.Menu + "/" + file, static_cast<mode_t>(0644 & ~mask), ""});
    if (request.Has('a')) {
        if (request_.Root)
            places.push_back({"Menu (all users)", f.AllUsersMenu + "/" + file,
                              static_cast<mode_t>(0644 & ~mask), ""});
        else
            places.push_back({"", "", 0,
                              "Skipped all-users menu entry " + shown +
                                  ": only an installation run as root makes one"});
    }
    if (request.Has('d')) {
        if (!f.Desktop.empty())
            places.push_back({"Desktop", f.Desktop + "/" + LauncherName(name) + ".desktop",
                              static_cast<mode_t>(0755 & ~mask), ""});
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

bool Planner::Shortcuts(const SelectedCommand& s, const std::string& program, std::string& why) {
    const InstallCommand& c = s.Command;
    if (c.ShortcutText.empty()) return true;
    ShortcutRequest request;
    const std::string* name = ShortcutName(s, request);
    if (!name) return true;
    const Launcher launcher{*name, program, SplitOptions(c.Options)};
    if (!launchChosen_ && request.Has('s')) {
        plan_.LaunchProgram = program;
        plan_.LaunchArguments = launcher.Arguments;
        launchChosen_ = true;
    }
    for (const LauncherPlace& place : LauncherPlaces(request, *name)) {
        if (place.Path.empty()) {
            Note(place.Skipped);
            continue;
        }
        Target t;
        if (!Resolve(place.Path, true, t, why)) return false;
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
    return true;
}

bool Planner::Check(const SelectedCommand& s, std::string& why) {
    const InstallCommand& c = s.Command;
    const auto path = LinuxPath(c.TargetPath, why);
    Target t;
    if (!path || !Resolve(*path, false, t, why)) return false;
    const auto recorded = previous_.find(*path);
    const std::string head = Verb("Check") + Shown(*path) + ": ";
    if (!t.Existing) {
        Note(head + "not installed, passes");
    } else if (recorded == previous_.end() || recorded->second->Version.empty()) {
        Note(head + "no version recorded for it, passes");
    } else if (CompareVersions(recorded->second->Version, c.Version) < 0) {
        why = Shown(*path) + ": version " + Shown(recorded->second->Version) +
              " is installed, lower than " + Shown(c.Version) + "; the installation stops";
        return false;
    } else {
        Note(head + "version " + Shown(recorded->second->Version) + " recorded, passes");
    }
    return true;
}

bool Planner::Copy(const SelectedCommand& s, std::string& why) {
    const InstallCommand& c = s.Command;
    const DirectoryEntry* source = request_.Setup->FindUserFile(LowerAscii(c.FileName));
    if (!source) {
        why = "the setup carries no file \"" + Shown(c.FileName) + "\"";
        return false;
    }
    const auto path = LinuxPath(c.TargetPath, why);
    Target t;
    if (!path || !Resolve(*path, true, t, why)) return false;
    const auto recorded = previous_.find(*path);
    PlanStep step;
    if (!c.Version.empty() && t.Existing && recorded != previous_.end() &&
        !recorded->second->Version.empty() &&
        CompareVersions(recorded->second->Version, c.Version) >= 0) {
        step.Kind = StepKind::KeepRecord;
        step.Recorded = *recorded->second;
        step.Recorded.Where = t.Where;
        step.Text = Verb("Skip") + Shown(c.FileName) + " -> " + Shown(*path) + ": version " +
                    Shown(recorded->second->Version) + " recorded, not lower than " +
                    Shown(c.Version);
        AddStep(std::move(step), t, 0);
    } else {
        step.Kind = StepKind::Copy;
        step.Source = source;
        step.Size = source->Size;
        step.Version = c.Version;
        step.Text = Verb("Copy") + Shown(c.FileName) + " -> " + Shown(*path);
        plan_.Bytes += source->Size;
        AddStep(std::move(step), t, source->Size);
    }
    written_.insert(*path);
    deleted_.erase(*path);
    return Shortcuts(s, *path, why);
}

bool Planner::Delete(const SelectedCommand& s, std::string& why) {
    const InstallCommand& c = s.Command;
    // "Del ,99,,,S 4" removes shortcuts only: its target is just "\".
    if (c.TargetPath != "\\") {
        const auto path = LinuxPath(c.TargetPath, why);
        Target t;
        if (!path || !Resolve(*path, true, t, why, false, true)) return false;
        if (t.IsFolder) {
            Note("Warning: " + Shown(*path) + " is a folder; Del removes files only", true);
        } else if (t.Existing || written_.count(*path)) {
            PlanStep step;
            step.Kind = StepKind::Delete;
            step.Text = Verb("Delete") + Shown(*path);
            AddStep(std::move(step), t, 0);
        } else {
            Note(Verb("Delete") + Shown(*path) + ": not there");
        }
        written_.erase(*path);
        deleted_.insert(*path);
    }
    return DeleteShortcuts(s, why);
}

bool Planner::DeleteShortcuts(const SelectedCommand& s, std::string& why) {
    if (s.Command.ShortcutText.empty()) return true;
    ShortcutRequest request;
    const std::string* name = ShortcutName(s, request);
    if (!name) return true;
    for (const LauncherPlace& place : LauncherPlaces(request, *name)) {
        Target t;
        if (place.Path.empty() || !Resolve(place.Path, true, t, why)) {
            if (place.Path.empty()) continue;
            return false;
        }
        if (!t.Existing && !written_.count(place.Path)) continue;
        PlanStep step;
        step.Kind = StepKind::Delete;
        step.Text = Verb("Delete") + Shown(place.Path) + " (launcher)";
        written_.erase(place.Path);
        deleted_.insert(place.Path);
        AddStep(std::move(step), t, 0);
    }
    return true;
}

bool Planner::Command(const SelectedCommand& s, std::string& why) {
    const InstallCommand& c = s.Command;
    bool done = true;
    if (c.Base == kFolderAsWritten && c.SubFolder.empty() && c.TargetPath != "\\") {
        why = "base folder 99 takes its folder from the third field, which is empty";
        done = false;
    } else if (c.Kind == InstallCheck) {
        done = Check(s, why);
    } else if (c.Kind == InstallCopy) {
        done = Copy(s, why);
    } else if (c.Kind == InstallDel) {
        done = Delete(s, why);
    } else if (c.Kind == InstallLink) {
        const auto path = LinuxPath(c.TargetPath, why);
        done = path && Shortcuts(s, *path, why);
    }
    if (!done) why = Shown(s.Line) + ": " + why;
    return done;
}

// Files of the earlier installation that this one no longer writes go, unless
// they were changed since.
bool Planner::Upgrade(std::string& why) {
    if (!plan_.Previous) return true;
    const Manifest& previous = *plan_.Previous;
    for (const ManifestFile& f : previous.Files) {
        const std::string path = previous.Roots.Absolute(f.Where);
        if (written_.count(path) || deleted_.count(path)) continue;
        Target t;
        std::string failure;
        if (!Resolve(path, true, t, failure)) {
            Note("Warning: left in place: " + failure, true);
            continue;
        }
        if (!t.Existing) continue;
        const auto hash = HashFileAt(plan_.Roots, t.Where, failure);
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
    (void)why;
    return true;
}

bool Planner::Space(std::string& why) {
    Target own;
    if (!Resolve(plan_.Folders.Install + "/" + std::string(kManifestName), true, own, why, true))
        return false;
    auto& need = space_[own.Device];
    need.first = own.Folder;
    need.second += static_cast<uint64_t>(request_.Setup->RuntimeLength) + (1u << 20);
    for (const auto& [device, folderNeed] : space_) {
        struct statvfs vfs {};
        if (::statvfs(folderNeed.first.c_str(), &vfs) != 0) continue;
        const uint64_t blocks = request_.Root ? vfs.f_bfree : vfs.f_bavail;
        const uint64_t free = blocks * vfs.f_frsize;
        if (folderNeed.second > free) {
            why = "not enough space for the installation on the file system of " +
                  Shown(folderNeed.first) + ": " + std::to_string(folderNeed.second / 1024) +
                  " KB needed, " + std::to_string(free / 1024) + " KB free";
            return false;
        }
    }
    return true;
}

bool Planner::Run(std::string& why) {
    if (plan_.Previous)
        for (const ManifestFile& f : plan_.Previous->Files)
            previous_[plan_.Previous->Roots.Absolute(f.Where)] = &f;
    const std::vector<SelectedCommand> commands = SelectInstallCommands(
        request_.Setup->Script, request_.Selection, ScriptFolders(plan_.Folders));
    size_t kept = 0;
    for (const SelectedCommand& s : commands) {
        if (s.Command.Kind == InstallCheck) continue;
        if (++kept > kMaxKeptCommands) {
            why = Shown(s.Line) + ": the script selects more than 1025 commands; the installation "
                                  "does not start";
            return false;
        }
    }
    if (kept == 0) {
        why = "nothing to install for this selection";
        return false;
    }
    for (const SelectedCommand& s : commands)
        if (!Command(s, why)) return false;
    return Upgrade(why) && Space(why);
}

} // namespace

std::optional<Manifest> ReadPreviousManifest(const std::string& folder, std::string& why) {
    const FolderHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.IsOpen()) return std::nullopt;
    const std::string shown = Shown(folder + "/" + std::string(kManifestName));
    const auto text = ReadOwnRecordFile(dir, std::string(kManifestName), kMaxManifestSize, shown,
                                        "a manifest", why);
    if (!text) return std::nullopt;
    auto manifest = ReadManifest(*text, why);
    if (!manifest) why = shown + ": " + why;
    return manifest;
}

std::optional<InstallPlan> PlanInstallation(const PlanRequest& request, std::string& why) {
    InstallPlan plan;
    plan.Folders = request.Folders;
    const LinuxFolders& f = plan.Folders;
    for (const std::string* folder : {&f.Install, &f.Lib, &f.Share, &f.AllUsersMenu, &f.Desktop})
        if (!folder->empty()) plan.Roots.Add(Anchor(*folder));
    std::string failure;
    plan.Previous = ReadPreviousManifest(f.Install, failure);
    if (!failure.empty()) {
        why = failure;
        return std::nullopt;
    }
    Planner planner(request, plan);
    if (!planner.Run(why)) return std::nullopt;
    return plan;
}
