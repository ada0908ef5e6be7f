#include "install/ScriptRefusals.h"

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

void CheckIcon(const std::string& icon, const SetupHasFile& hasFile) {
    const std::string lower = LowerAscii(icon);
    if (!lower.ends_with(".png") && !lower.ends_with(".svg"))
        throw InvalidRequest("a launcher's icon is a PNG or an SVG file", icon);
    const auto tree = ReadTreeReference(icon);
    if (!hasFile(tree ? tree->Tree : lower))
        throw InvalidRequest("the setup carries no icon file \"" + Shown(icon) + "\"");
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

void CheckCommandLine(const InstallCommand& c, const SetupHasFile& hasFile) {
    if (c.Base == kFolderAsWritten && c.SubFolder.empty() && c.TargetPath != "\\")
        throw InvalidRequest("base folder 99 takes its folder from the third field, which is "
                             "empty");
    if (c.Kind == InstallCheck) return;
    if (c.Kind == InstallCopy) {
        const auto tree = ReadTreeReference(c.FileName);
        if (tree && !tree->Inside.empty())
            throw InvalidRequest("Copy takes a whole tree; a Link line names a file inside one");
    }
    if (c.ShortcutText.empty()) return;
    if (const auto request = ReadShortcutText(c.ShortcutText))
        LauncherCategories(request->Categories);
    if (!c.Icon.empty() && c.Kind != InstallDel) CheckIcon(c.Icon, hasFile);
}

std::optional<std::string> CommandTarget(const InstallCommand& c) {
    if (c.Kind == InstallDel && c.TargetPath == "\\") return std::nullopt;
    return LinuxPath(c.TargetPath);
}

std::vector<ScriptProblem> RefusedScriptLines(std::string_view script, const std::string& selection,
                                              const LinuxFolders& folders,
                                              const SetupHasFile& hasFile) {
    std::vector<ScriptProblem> problems;
    for (const SelectedCommand& s :
         SelectInstallCommands(script, selection, ScriptFolders(folders))) {
        const InstallCommand& c = s.Command;
        try {
            CheckCommandLine(c, hasFile);
            const auto path = CommandTarget(c);
            const bool writes = c.Kind == InstallCopy || c.Kind == InstallDel;
            if (path && writes)
                if (auto refused = RefusedTarget(folders, *path, TargetUse::Write)) throw *refused;
        } catch (KaveloError& e) {
            e.SetContext(s.Line);
            problems.push_back({s.ScriptLine, ShownError(e)});
        }
    }
    return problems;
}
