#include "install/InstallStart.h"

#include <sys/stat.h>

Recovery InstallStart::Claim(const std::string& folder, const LinuxFolders& folders,
                             const FolderRules& rules) {
    // A lock this process holds would refuse its own second claim.
    lock_.reset();
    anchor_.reset();
    lock_ = InstallLock::Take(folder, rules);
    if (!lock_) {
        anchor_ = InstallLock::TakeAnchor(folder, rules);
        return {};
    }
    Recovery recovery = RecoverInstallation(*lock_, folder, folders, rules);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        lock_.reset();
        anchor_ = InstallLock::TakeAnchor(folder, rules);
    }
    return recovery;
}

InstallResult InstallStart::Run(const SetupPackage& setup, const InstallPlan& plan,
                                InstallProgress& progress) {
    InstallResult result = RunInstallation(setup, plan, progress, lock_);
    anchor_.reset();
    return result;
}

InstallPlan PlanInto(const SetupPackage& setup, const std::string& selection,
                     const std::string& folder, const InstallEnvironment& env,
                     const FolderRules& rules) {
    PlanRequest request;
    request.Setup = &setup;
    request.Selection = selection;
    request.Folders = MapFolders(folder, env);
    request.Root = env.Root;
    request.Rules = rules;
    return PlanInstallation(request);
}
