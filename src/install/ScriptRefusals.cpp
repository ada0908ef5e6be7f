#include "install/ScriptRefusals.h"

#include <algorithm>
#include <initializer_list>

#include "common/AsciiCase.h"
#include "common/TreeName.h"
#include "install/DesktopEntry.h"
#include "install/DisplayText.h"
#include "install/Manifest.h"
#include "install/Places.h"

namespace {

std::string AllowedList(const LinuxFolders& f, bool launcher) {
    std::string list = f.Install + ", " + f.Lib + ", " + f.Share;
    if (!f.AllUsersMenu.empty()) list += ", " + f.AllUsersMenu;
    if (launcher && !f.Desktop.empty()) list += ", " + f.Desktop;
    if (!f.Commands.empty()) list += ", " + f.Commands;
    return list;
}

// The desktop folder takes launchers only: it may be $HOME itself.
bool Allowed(const LinuxFolders& f, const std::string& path, bool launcher) {
    for (const std::string* folder : {&f.Install, &f.Lib, &f.Share, &f.AllUsersMenu, &f.Commands})
        if (!folder->empty() && IsBelow(path, *folder)) return true;
    return launcher && !f.Desktop.empty() && IsBelow(path, f.Desktop);
}

// The entry of the tree named inside when it is of one of kinds, or null.
// (A tree's entries are in the container's order, not by name.)
const TreeEntry* Held(const Tree& tree, const std::string& inside,
                      std::initializer_list<TreeKind> kinds) {
    const auto at = std::find_if(tree.Entries.begin(), tree.Entries.end(),
                                 [&](const TreeEntry& e) { return e.Name == inside; });
    if (at == tree.Entries.end() || std::find(kinds.begin(), kinds.end(), at->Kind) == kinds.end())
        return nullptr;
    return &*at;
}

void CheckIcon(const std::string& icon, const SetupContents& setup) {
    const std::string lower = LowerAscii(icon);
    if (!lower.ends_with(".png") && !lower.ends_with(".svg"))
        throw InvalidRequest("a launcher's icon is a PNG or an SVG file", icon);
    const auto tree = ReadTreeReference(icon);
    if (!setup.Has(tree ? tree->Tree : lower))
        throw InvalidRequest("the setup carries no icon file \"" + Shown(icon) + "\"");
    // An icon's bytes are installed, so a link inside the tree will not do.
    const TreeEntry* inTree =
        tree ? Held(setup.TreeOf(tree->Tree), tree->Inside, {TreeKind::File, TreeKind::Program})
             : nullptr;
    if (tree && !inTree) throw InvalidRequest("the tree holds no such file", icon);
    const std::string head = inTree ? setup.TreeHead(tree->Tree, *inTree) : setup.Head(lower);
    if (IconThemePath("icon", lower, head).empty())
        throw InvalidRequest("is neither an SVG file nor a square PNG of 16 to 1024 pixels", icon);
}

// A Link line naming a file inside a tree: its launchers and command point
// at that file, which the tree must hold (a link to it will do).
void CheckLinkTarget(const std::string& file, const SetupContents& setup) {
    const auto tree = ReadTreeReference(file);
    if (!tree || tree->Inside.empty()) return;
    if (!setup.Has(tree->Tree))
        throw InvalidRequest("the setup carries no file \"" + Shown(file) + "\"");
    if (!Held(setup.TreeOf(tree->Tree), tree->Inside,
              {TreeKind::File, TreeKind::Program, TreeKind::Link}))
        throw InvalidRequest("the tree holds no such file", file);
}

} // namespace

std::optional<Refused> RefusedTarget(const LinuxFolders& folders, const std::string& path,
                                     TargetUse use) {
    const bool launcher = use == TargetUse::Launcher;
    if (!Allowed(folders, path, launcher))
        return Refused("lies outside the folders this installation may write to (" +
                           AllowedList(folders, launcher) + ")",
                       path);
    const bool own = LeafOf(path).starts_with(".kavelo-") ||
                     path == folders.Install + "/" + std::string(kUninstallName);
    if (own && use != TargetUse::Own)
        return Refused("is a name the installation keeps for its own files", path);
    return std::nullopt;
}

void CheckCommandLine(const InstallCommand& c, const SetupContents& setup) {
    if (c.Base == kFolderAsWritten && c.SubFolder.empty() && c.TargetPath != "\\")
        throw InvalidRequest("base folder 99 takes its folder from the third field, which is "
                             "empty");
    if (c.Kind == InstallCheck) return;
    if (c.Kind == InstallCopy) {
        const auto tree = ReadTreeReference(c.FileName);
        if (tree && !tree->Inside.empty())
            throw InvalidRequest("Copy takes a whole tree; a Link line names a file inside one");
        if (!setup.Has(LowerAscii(c.FileName)))
            throw InvalidRequest("the setup carries no file \"" + Shown(c.FileName) + "\"");
    }
    if (c.Kind == InstallLink) CheckLinkTarget(c.FileName, setup);
    if (c.ShortcutText.empty()) return;
    if (const auto request = ReadShortcutText(c.ShortcutText))
        LauncherCategories(request->Categories);
    if (!c.Icon.empty() && c.Kind != InstallDel) CheckIcon(c.Icon, setup);
}

std::optional<Refused> RefusedTreeCopy(const LinuxFolders& folders, const std::string& folder,
                                       const Tree& tree) {
    if (auto refused = RefusedTarget(folders, folder, TargetUse::Write)) return refused;
    for (const TreeEntry& e : tree.Entries)
        if (auto refused = RefusedTarget(folders, folder + "/" + e.Name, TargetUse::Write))
            return refused;
    return std::nullopt;
}

std::optional<std::string> CommandTarget(const InstallCommand& c) {
    if (c.Kind == InstallDel && c.TargetPath == "\\") return std::nullopt;
    return LinuxPath(c.TargetPath);
}

std::vector<ScriptProblem> RefusedScriptLines(std::string_view script, const std::string& selection,
                                              const LinuxFolders& folders,
                                              const SetupContents& setup) {
    std::vector<ScriptProblem> problems;
    for (const SelectedCommand& s :
         SelectInstallCommands(script, selection, ScriptFolders(folders))) {
        const InstallCommand& c = s.Command;
        try {
            CheckCommandLine(c, setup);
            const auto path = CommandTarget(c);
            const bool writes = c.Kind == InstallCopy || c.Kind == InstallDel;
            const auto tree = ReadTreeReference(c.FileName);
            const std::string name = tree ? tree->Tree : "";
            std::optional<Refused> refused;
            if (path && writes && c.Kind == InstallCopy && tree && setup.Has(name))
                refused = RefusedTreeCopy(folders, *path, setup.TreeOf(name));
            else if (path && writes)
                refused = RefusedTarget(folders, *path, TargetUse::Write);
            if (refused) throw *refused;
        } catch (KaveloError& e) {
            e.SetContext(s.Line);
            problems.push_back({s.ScriptLine, ShownError(e)});
        }
    }
    return problems;
}
