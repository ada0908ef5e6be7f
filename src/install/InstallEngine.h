// The second pass of an installation: carries out a plan step by step under
// the journal, writes the manifest and the uninstall program, and commits;
// or, when a step fails or the user cancels, undoes everything it did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "install/InstallPlan.h"
#include "install/Journal.h"
#include "install/SetupPackage.h"

// What the engine tells the program that drives it.
class InstallProgress {
  public:
    virtual ~InstallProgress() = default;
    // A step is carried out now (notes among them).
    virtual void Step(const PlanStep& step) { (void)step; }
    // done of total bytes written; file is the path being written.
    virtual void Bytes(uint64_t done, uint64_t total, const std::string& file) {
        (void)done, (void)total, (void)file;
    }
    // Asked between steps and between blocks of a file: true stops and undoes.
    virtual bool Cancelled() { return false; }
};

enum class InstallOutcome {
    Installed,
    FailedUndone,   // a step failed; everything was undone
    Cancelled,      // the user stopped it; everything was undone
    UndoIncomplete, // failed or cancelled, and some of it could not be undone
};

struct InstallResult {
    InstallOutcome Outcome = InstallOutcome::FailedUndone;
    std::optional<KaveloError> Failure;   // why it failed, naming the file
    std::vector<std::string> Problems;    // what the undo or the tidying could not do
    std::vector<std::string> KeptFolders; // folders made that others' files now fill
    std::string Uninstall;                // the uninstall program's path
};

// Carries out plan for setup. lock is held on the installation folder when
// it existed before; otherwise the engine makes the folder and takes it.
// This is the undo boundary: whatever fails is undone and reported in the
// result, never thrown.
InstallResult RunInstallation(const SetupPackage& setup, const InstallPlan& plan,
                              InstallProgress& progress, std::optional<InstallLock>& lock);
