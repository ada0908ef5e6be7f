// How every installation begins on its folder, whoever drives it (the
// runtime's modes, the graphical wizard): the folder taken so that no other
// installation plans or writes there meanwhile, an installation there that
// did not end undone, the first pass, and the second under the same claim.
#pragma once

#include <optional>
#include <string>

#include "install/InstallEngine.h"
#include "install/InstallPlan.h"
#include "install/Journal.h"
#include "install/LinuxFolders.h"

class InstallStart {
  public:
    // Takes folder: its lock when it exists, else the lock of the deepest
    // part of it that exists, held until the engine has made and locked it;
    // then undoes or tidies an installation there that did not end (a folder
    // that went with the undo is taken by its anchor again). Throws Refused
    // when another installation holds it or its journal cannot be trusted.
    Recovery Claim(const std::string& folder, const LinuxFolders& folders,
                   const FolderRules& rules);

    // The second pass, under the claim.
    InstallResult Run(const SetupPackage& setup, const InstallPlan& plan,
                      InstallProgress& progress);

  private:
    std::optional<InstallLock> lock_;
    std::optional<InstallLock> anchor_;
};

// The first pass of an installation of setup into folder (absolute) for
// selection, as env's user under rules. Throws as PlanInstallation does.
InstallPlan PlanInto(const SetupPackage& setup, const std::string& selection,
                     const std::string& folder, const InstallEnvironment& env,
                     const FolderRules& rules);
