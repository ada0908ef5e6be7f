// The installation the graphical wizard drives: the setup read from its
// file, its licence and picture, the folders for "for me" and "for all
// users", the first pass for a folder and a selection, and the second pass
// with the engine's undo.
#pragma once

#include <optional>
#include <string>

#include "install/InstallEngine.h"
#include "install/InstallPlan.h"
#include "install/InstallStart.h"
#include "install/LinuxFolders.h"
#include "install/SetupPackage.h"

class WizardInstall {
  public:
    // Reads the setup at path. Throws KaveloError when it cannot be read, is
    // damaged, carries no package, or names a licence it does not carry.
    explicit WizardInstall(const std::string& path);

    const SetupPackage& Setup() const { return *setup_; }
    const InstallEnvironment& Environment() const { return env_; }
    const std::string& Picture() const { return picture_; }
    bool HasLicense() const { return !licenseName_.empty(); }
    const std::string& LicenseText() const { return licenseText_; }

    // The setup's own folder for the user's mapping, or for all users' (as
    // root). Throws InvalidRequest when the setup gives none.
    std::string DefaultFolder(bool allUsers) const;
    // A typed folder made absolute. Throws InvalidRequest for one that is
    // empty, relative to nothing sensible or the root folder.
    static std::string ChosenFolder(const std::string& typed);

    // The first pass: what an installation into folder with the selection
    // does, as the user or (allUsers) as root. Throws KaveloError naming the
    // path when it cannot go ahead.
    InstallPlan Plan(const std::string& folder, const std::string& selection, bool allUsers) const;

    // Takes the plan's folder and undoes an interrupted installation there
    // (then plans selection again, as this user), then carries the plan out;
    // the engine undoes everything on failure or cancel. Throws KaveloError
    // when the folder is held or its journal unusable.
    InstallResult Install(InstallPlan& plan, const std::string& selection,
                          InstallProgress& progress);

    // Whether the finish page may offer to start the installed program:
    // never as root, only a program this installation wrote.
    bool CanLaunch(const InstallPlan& plan) const;

  private:
    std::optional<SetupPackage> setup_;
    InstallEnvironment env_;
    std::string picture_;
    std::string licenseName_;
    std::string licenseText_;
    InstallStart start_;
};
