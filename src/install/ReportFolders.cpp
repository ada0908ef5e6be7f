#include "install/ReportFolders.h"

#include <algorithm>

#include "common/Errors.h"

ReportMapping LinuxReportMapping(const std::string& installSubfolder, InstallAs as) {
    InstallEnvironment env = CurrentEnvironment();
    env.Root = as == InstallAs::Root;
    ReportMapping mapping;
    std::string folder;
    try {
        folder = DefaultInstallFolder(installSubfolder, env);
    } catch (const KaveloError& e) {
        mapping.Problem = e.what();
        folder = env.Root ? "/opt" : env.Home + "/.local/opt";
    }
    try {
        mapping.Folders = MapFolders(folder, env);
    } catch (const KaveloError& e) {
        if (!mapping.Problem.empty()) mapping.Problem += "; ";
        mapping.Problem += e.what();
        // Below $HOME, as the installer would map them without the variables.
        env.DataHome = env.Home + "/.local/share";
        env.ConfigHome = env.Home + "/.config";
        mapping.Folders = MapFolders(folder, env);
    }
    return mapping;
}

ReportPaths LinuxReportPaths(const std::string& installSubfolder, InstallAs as) {
    ReportMapping mapping = LinuxReportMapping(installSubfolder, as);
    ReportPaths paths;
    paths.Folders = ScriptFolders(mapping.Folders);
    paths.Problem = std::move(mapping.Problem);
    paths.Show = [](const std::string& target, std::string& why) -> std::optional<std::string> {
        try {
            return LinuxPath(target);
        } catch (const KaveloError& e) {
            why = e.what();
            return std::nullopt;
        }
    };
    return paths;
}

std::vector<std::string> RefusalsPerMapping(std::string_view script, const std::string& selection,
                                            const std::string& installSubfolder,
                                            const SetupContents& setup,
                                            std::optional<InstallAs> reported) {
    std::vector<std::string> told[2];
    for (const InstallAs as : {InstallAs::User, InstallAs::Root}) {
        const ReportMapping mapping = LinuxReportMapping(installSubfolder, as);
        std::vector<std::string>& out = told[as == InstallAs::Root];
        if (!mapping.Problem.empty() && reported != as) out.push_back(mapping.Problem);
        for (ScriptProblem& p : RefusedScriptLines(script, selection, mapping.Folders, setup))
            out.push_back(std::move(p.Text));
    }
    const auto in = [](const std::vector<std::string>& list, const std::string& text) {
        return std::find(list.begin(), list.end(), text) != list.end();
    };
    std::vector<std::string> refusals;
    for (const std::string& text : told[0])
        refusals.push_back(in(told[1], text) ? text : "per user: " + text);
    for (const std::string& text : told[1])
        if (!in(told[0], text)) refusals.push_back("as root: " + text);
    return refusals;
}
