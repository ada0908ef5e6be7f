// One installation as the runtime drives it, whatever drives it (the
// unattended mode, the dry run, the terminal wizard): the options, the setup
// read from the runtime's own file, the component panel with its starting
// values, the licence, the folders, the first pass and the second.
#pragma once

#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/InstallEngine.h"
#include "install/InstallPlan.h"
#include "install/InstallStart.h"
#include "install/LinuxFolders.h"
#include "install/SetupPackage.h"
#include "script/ComponentPanel.h"

struct InstallOptions {
    bool Unattended = false;
    bool DryRun = false;
    std::string Dir;
    std::vector<std::string> Selects;
    bool AcceptLicense = false;
    bool NoLaunch = false;
    bool Launch = false;             // --unattended starts the program at its end
    bool AllowUnsafeFolders = false; // as root, folders others could replace are used
    std::string Log;
};

// Reads the options of the installing modes; throws InvalidRequest on a
// usage error.
InstallOptions ParseInstallOptions(int argc, char** argv);

// Writes what happens to standard output and, with --log, appended to a file.
class RunLog {
  public:
    // Opens the log file; throws IoError when it cannot be.
    void Open(const std::string& path, const std::string& setup);
    ~RunLog();
    // A line for the terminal (stdout, or stderr when toError) and the log.
    void Say(const std::string& line, bool toError = false);
    // A line of progress for stdout and the log: stdout is flushed at the end
    // of the line only on a terminal (else before the next Say), so that
    // thousands of steps do not cost a write each.
    void SayStep(const std::string& line);
    // A line for the log only.
    void Write(const std::string& line);
    void SetQuiet(bool quiet) { quiet_ = quiet; }

  private:
    FILE* file_ = nullptr;
    bool quiet_ = false;
};

// Ctrl-C, a hang-up or a termination request set a flag instead of ending
// the process, so that an installation under way can undo itself.
void CatchStopSignals();
bool StopRequested();
void ClearStopRequest();
// Readable once a stop signal came (for waiting on a key and the signal at once).
int StopSignalFd();

class SetupRun {
  public:
    SetupRun(const std::string& self, InstallOptions options, RunLog& log);

    // Reads the setup and builds the panel with --select applied, and starts
    // checking the setup's checksums on a thread of their own. The exit
    // status on failure (reported), 0 otherwise.
    int Load();
    // Waits for the check of the checksums (once): the exit status when a
    // checksum differs (reported), 0 otherwise. Nothing of the setup is
    // written before it says 0; planning, which only reads, goes on beside it.
    int Checked();

    const SetupPackage& Setup() const { return *setup_; }
    ScriptPanelModel& Panel() { return panel_; }
    std::string Selection() const;
    const InstallOptions& Options() const { return options_; }
    const InstallEnvironment& Environment() const { return env_; }
    // As root: trust no folder another user could replace (unless the options
    // allow it), and give exact modes.
    FolderRules Rules() const;

    // The licence file's name and text; empty name when there is none.
    const std::string& LicenseName() const { return licenseName_; }
    const std::string& LicenseText() const { return licenseText_; }

    // The folder options or the setup choose; throws when neither gives one.
    std::string DefaultFolder() const;

    // The first pass for folder (absolute); throws when it cannot go ahead.
    InstallPlan Plan(const std::string& folder) const;

    // Takes the folder, undoes an interrupted installation there (reported),
    // and plans; the exit status on failure, 0 with plan set otherwise.
    int Prepare(const std::string& folder, std::optional<InstallPlan>& plan);

    // The second pass; the exit status, with everything reported.
    int Install(const InstallPlan& plan, InstallProgress& progress, InstallResult& result);

    // Whether the finish step may offer to start the program: a file this
    // installation wrote, as the plan names it; the command; starting it.
    bool CanLaunch(const InstallPlan& plan) const;
    std::string LaunchCommand(const InstallPlan& plan) const;
    void Launch(const InstallPlan& plan);

    // The error of a refused folder, with how to go on when as root it was
    // refused as one another user could replace.
    void SayRefusal(const std::string& head, const KaveloError& error);

    RunLog& Log() { return log_; }

  private:
    int Recover(const std::string& folder);

    std::string self_;
    InstallOptions options_;
    RunLog& log_;
    InstallEnvironment env_;
    std::optional<SetupPackage> setup_;
    ScriptPanelModel panel_;
    std::string selection_;
    std::string licenseName_;
    std::string licenseText_;
    InstallStart start_;
    std::future<bool> checking_; // the checksums' check, until Checked takes it
    std::optional<int> checked_; // its exit status, once taken
};

// The plan's lines as --dry-run prints them, with the space it needs.
void PrintPlan(const InstallPlan& plan, RunLog& log);

// Human-readable size: "4.5 KB", "12.3 MB".
std::string SizeText(uint64_t bytes);
