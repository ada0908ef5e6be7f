#include "wizard/WizardInstall.h"

#include <unistd.h>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/Journal.h"
#include "package/PackageReader.h"

WizardInstall::WizardInstall(const std::string& path) : env_(CurrentEnvironment()) {
    setup_ = OpenSetupPackage(path);
    if (!setup_) throw DamagedInput("this setup carries no package", path);
    if (const DirectoryEntry* e = FindEntry(setup_->Entries, kSetupPictureName))
        picture_ = ReadEntryContents(setup_->File, *e);
    licenseName_ = setup_->Line(LineLicense);
    if (licenseName_.empty()) return;
    const DirectoryEntry* entry = setup_->FindUserFile(LowerAscii(licenseName_));
    if (!entry)
        throw DamagedInput(
            "the setup names the licence \"" + licenseName_ + "\" but does not carry it", path);
    licenseText_ = ReadEntryContents(setup_->File, *entry);
}

std::string WizardInstall::DefaultFolder(bool allUsers) const {
    InstallEnvironment env = env_;
    env.Root = env_.Root || allUsers;
    return DefaultInstallFolder(setup_->Line(LineInstallFolder), env);
}

std::string WizardInstall::ChosenFolder(const std::string& typed) {
    return ChosenInstallFolder(typed);
}

InstallPlan WizardInstall::Plan(const std::string& folder, const std::string& selection,
                                bool allUsers) const {
    InstallEnvironment env = env_;
    env.Root = env_.Root || allUsers;
    // As root: no folder another user could replace, and exact modes.
    return PlanInto(*setup_, selection, folder, env, {env.Root, env.Root});
}

InstallResult WizardInstall::Install(InstallPlan& plan, const std::string& selection,
                                     InstallProgress& progress) {
    const std::string folder = plan.Folders.Install;
    const Recovery recovery = start_.Claim(folder, plan.Folders, {env_.Root, env_.Root});
    if (!recovery.Result.Problems.empty())
        throw Refused("an earlier installation here was interrupted and could not be "
                      "undone: " +
                          recovery.Result.Problems.front(),
                      folder);
    // The plan was made before the undo changed the folder.
    if (recovery.Found) plan = Plan(folder, selection, false);
    return start_.Run(*setup_, plan, progress);
}

bool WizardInstall::CanLaunch(const InstallPlan& plan) const {
    return !env_.Root && !setup_->Line(LineLaunchText).empty() && !plan.LaunchProgram.empty() &&
           ::access(plan.LaunchProgram.c_str(), X_OK) == 0;
}
