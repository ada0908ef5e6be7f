#include "install/ReportFolders.h"

#include "install/LinuxFolders.h"

ReportPaths LinuxReportPaths(const std::string& installSubfolder, InstallAs as) {
    InstallEnvironment env = CurrentEnvironment();
    env.Root = as == InstallAs::Root;
    ReportPaths paths;
    std::string why;
    std::optional<std::string> folder = DefaultInstallFolder(installSubfolder, env, why);
    if (!folder) {
        paths.Problem = why;
        folder = env.Root ? "/opt" : env.Home + "/.local/opt";
    }
    paths.Folders = ScriptFolders(MapFolders(*folder, env));
    paths.Show = [](const std::string& target, std::string& failure) {
        return LinuxPath(target, failure);
    };
    return paths;
}
