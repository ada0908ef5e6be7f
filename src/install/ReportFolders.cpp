#include "install/ReportFolders.h"

#include "common/Errors.h"
#include "install/LinuxFolders.h"

ReportPaths LinuxReportPaths(const std::string& installSubfolder, InstallAs as) {
    InstallEnvironment env = CurrentEnvironment();
    env.Root = as == InstallAs::Root;
    ReportPaths paths;
    std::string folder;
    try {
        folder = DefaultInstallFolder(installSubfolder, env);
    } catch (const KaveloError& e) {
        paths.Problem = e.what();
        folder = env.Root ? "/opt" : env.Home + "/.local/opt";
    }
    paths.Folders = ScriptFolders(MapFolders(folder, env));
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
