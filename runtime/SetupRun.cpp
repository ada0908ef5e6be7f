#include "SetupRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "InstallMode.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "script/PanelArguments.h"

extern char** environ;

namespace {

volatile sig_atomic_t gStop = 0;
// Written to by the signal handler, so that a wait for a key ends even when
// the signal came just before the wait began.
int gStopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    gStop = 1;
    const char byte = 1;
    if (gStopPipe[1] >= 0) (void)!::write(gStopPipe[1], &byte, 1);
}

// "--name VALUE" or "--name=VALUE" at argv[i]; true when it is this option.
bool ValueOption(int argc, char** argv, int& i, const std::string& name, std::string& value,
                 bool& missing) {
    const std::string arg = argv[i];
    if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (arg != name) return false;
    missing = i + 1 >= argc;
    if (!missing) value = argv[++i];
    return true;
}

} // namespace

InstallOptions ParseInstallOptions(int argc, char** argv) {
    InstallOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        bool missing = false;
        if (arg == "--unattended") {
            options.Unattended = true;
        } else if (arg == "--dry-run") {
            options.DryRun = true;
        } else if (arg == "--accept-license" || arg == "--accept-licence") {
            options.AcceptLicense = true;
        } else if (arg == "--no-launch") {
            options.NoLaunch = true;
        } else if (arg == "--launch") {
            options.Launch = true;
        } else if (arg == "--allow-unsafe-folders") {
            options.AllowUnsafeFolders = true;
        } else if (ValueOption(argc, argv, i, "--dir", value, missing)) {
            options.Dir = value;
        } else if (ValueOption(argc, argv, i, "--select", value, missing)) {
            options.Selects.push_back(value);
        } else if (ValueOption(argc, argv, i, "--log", value, missing)) {
            options.Log = value;
        } else {
            throw InvalidRequest("unknown option \"" + Shown(arg) + "\"");
        }
        if (missing) throw InvalidRequest(arg + " needs a value");
    }
    if (options.Unattended && options.DryRun)
        throw InvalidRequest("--unattended and --dry-run exclude each other");
    if (options.Launch && options.NoLaunch)
        throw InvalidRequest("--launch and --no-launch exclude each other");
    if (options.Dir.empty() && std::any_of(argv + 1, argv + argc, [](const char* a) {
            return std::string(a) == "--dir" || std::string(a) == "--dir=";
        }))
        throw InvalidRequest("--dir needs a folder");
    return options;
}

void RunLog::Open(const std::string& path, const std::string& setup) {
    file_ = std::fopen(path.c_str(), "ae");
    if (!file_) throw IoError(errno, path, "cannot write the log");
    Write("== " + UtcNow() + " UTC, " + setup);
}

RunLog::~RunLog() {
    if (file_) std::fclose(file_);
}

void RunLog::Say(const std::string& line, bool toError) {
    if (!quiet_ || toError) {
        FILE* out = toError ? stderr : stdout;
        if (toError) std::fflush(stdout); // the steps before it come first
        std::fprintf(out, "%s\n", line.c_str());
        std::fflush(out);
    }
    Write(line);
}

void RunLog::SayStep(const std::string& line) {
    // stdout is line-buffered on a terminal, fully buffered elsewhere.
    if (!quiet_) std::fprintf(stdout, "%s\n", line.c_str());
    Write(line);
}

void RunLog::Write(const std::string& line) {
    if (!file_) return;
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
}

void CatchStopSignals() {
    if (gStopPipe[0] < 0 && ::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) gStopPipe[0] = -1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a read waiting for a key returns at once
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
    // A write past a file size limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return gStop != 0;
}

int StopSignalFd() {
    return gStopPipe[0];
}
void ClearStopRequest() {
    gStop = 0;
}

SetupRun::SetupRun(const std::string& self, InstallOptions options, RunLog& log)
    : self_(self), options_(std::move(options)), log_(log), env_(CurrentEnvironment()) {}

int SetupRun::Load() {
    try {
        setup_ = OpenSetupPackage(self_);
        if (!setup_) {
            log_.Say(Shown(self_) + ": this setup carries no package", true);
            return kExitFailed;
        }
        // Every entry is checked before anything is written (Checked), on
        // a thread of its own while the setup is read and planned.
        checking_ = std::async(std::launch::async, [this] {
            return VerifyPackageChecksums(setup_->File, setup_->RuntimeLength, setup_->Entries);
        });
        const std::vector<std::string> strings = setup_->StringsList();
        panel_.LoadScript(setup_->Script, strings, kMaxStrings);
        selection_ = panel_.GetScriptValues();
        for (const std::string& select : options_.Selects) {
            std::string error;
            if (!ApplySelectArgument(selection_, select, error)) {
                log_.Say(error, true);
                return kExitUsage;
            }
        }
        licenseName_ = setup_->Line(LineLicense);
        if (!licenseName_.empty()) {
            const DirectoryEntry* entry = setup_->FindUserFile(LowerAscii(licenseName_));
            if (!entry) {
                log_.Say(Shown(self_) + ": the setup names the licence \"" + Shown(licenseName_) +
                             "\" but does not carry it",
                         true);
                return kExitFailed;
            }
            licenseText_ = ReadEntryContents(setup_->File, *entry);
        }
    } catch (const KaveloError& e) {
        log_.Say(Shown(self_) + ": damaged setup: " + e.what(), true);
        return kExitFailed;
    }
    return 0;
}

int SetupRun::Checked() {
    if (checked_) return *checked_;
    if (!checking_.valid()) return *(checked_ = kExitFailed); // never loaded
    try {
        checked_ = 0;
        if (!checking_.get())
            log_.Say("Note: this setup carries no checksums; its files are not verified.");
    } catch (const KaveloError& e) {
        log_.Say(Shown(self_) + ": damaged setup: " + e.what(), true);
        checked_ = kExitFailed;
    }
    return *checked_;
}

std::string SetupRun::Selection() const {
    return options_.Unattended || options_.DryRun ? selection_ : panel_.GetScriptValues();
}

std::string SetupRun::DefaultFolder() const {
    return options_.Dir.empty() ? DefaultInstallFolder(setup_->Line(LineInstallFolder), env_)
                                : ChosenInstallFolder(options_.Dir);
}

FolderRules SetupRun::Rules() const {
    return {env_.Root && !options_.AllowUnsafeFolders, env_.Root};
}

void SetupRun::SayRefusal(const std::string& head, const KaveloError& error) {
    log_.Say(head + ShownError(error), true);
    if (Rules().Strict && dynamic_cast<const Refused*>(&error))
        log_.Say("As root, an installation uses no folder that another user could replace; "
                 "--allow-unsafe-folders uses it anyway.",
                 true);
}

InstallPlan SetupRun::Plan(const std::string& folder) const {
    return PlanInto(*setup_, Selection(), folder, env_, Rules());
}

// Takes the folder and undoes an interrupted installation there; the exit
// status when it cannot go on (reported), else 0.
int SetupRun::Recover(const std::string& folder) {
    const Recovery recovery = start_.Claim(folder, MapFolders(folder, env_), Rules());
    if (recovery.Found && !recovery.Result.Problems.empty()) {
        log_.Say("An earlier installation into " + Shown(folder) +
                     " was interrupted, and undoing it failed:",
                 true);
        for (const std::string& problem : recovery.Result.Problems)
            log_.Say("  " + problem, true);
        return kExitUndoIncomplete;
    }
    if (recovery.Found)
        log_.Say(recovery.Result.Committed
                     ? "An earlier installation into " + Shown(folder) +
                           " had completed; the files it had set aside were removed."
                     : "An earlier installation into " + Shown(folder) +
                           " was interrupted; everything it had done was undone.");
    return 0;
}

int SetupRun::Prepare(const std::string& folder, std::optional<InstallPlan>& plan) {
    try {
        if (const int status = Recover(folder)) return status;
    } catch (const KaveloError& e) {
        SayRefusal("The installation cannot go ahead: ", e);
        return kExitFailed;
    }
    try {
        plan = Plan(folder);
    } catch (const KaveloError& e) {
        // A damaged setup is told as such, whatever planning stumbled on.
        if (const int status = Checked()) return status;
        SayRefusal("The installation cannot go ahead: ", e);
        log_.Say("Nothing was written.", true);
        return kExitFailed;
    }
    return Checked();
}

int SetupRun::Install(const InstallPlan& plan, InstallProgress& progress, InstallResult& result) {
    if (const int status = Checked()) return status;
    result = start_.Run(*setup_, plan, progress);
    for (const std::string& folder : result.KeptFolders)
        log_.Say("Kept the folder " + Shown(folder) + ": other files are in it");
    switch (result.Outcome) {
    case InstallOutcome::Installed:
        for (const std::string& problem : result.Problems)
            log_.Say("Warning: " + problem + " (the next start tidies it)", true);
        return kExitInstalled;
    case InstallOutcome::Cancelled:
        log_.Say("The installation was cancelled; everything it had done was undone.", true);
        return kExitCancelled;
    case InstallOutcome::FailedUndone:
        log_.Say("The installation failed: " + ShownError(*result.Failure), true);
        log_.Say("Everything it had done was undone.", true);
        return kExitFailed;
    case InstallOutcome::UndoIncomplete:
        log_.Say("The installation failed: " + ShownError(*result.Failure), true);
        log_.Say("Not all of it could be undone:", true);
        for (const std::string& problem : result.Problems)
            log_.Say("  " + problem, true);
        // Folders made out of sight go without a journal (FolderChain.h).
        if (::access((plan.Folders.Install + "/" + std::string(kJournalName)).c_str(), F_OK) == 0)
            log_.Say("The journal in " + Shown(plan.Folders.Install) +
                         " is kept; the next start of a setup into that folder tries again.",
                     true);
        else
            log_.Say("The next start of a setup into " + Shown(plan.Folders.Install) +
                         " removes what is left.",
                     true);
        return kExitUndoIncomplete;
    }
    return kExitFailed;
}

bool SetupRun::CanLaunch(const InstallPlan& plan) const {
    if (options_.NoLaunch || env_.Root || setup_->Line(LineLaunchText).empty() ||
        plan.LaunchProgram.empty())
        return false;
    // The file the installation wrote: a regular file of this user's, no link.
    struct stat st {};
    return ::lstat(plan.LaunchProgram.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_uid == ::geteuid() && ::access(plan.LaunchProgram.c_str(), X_OK) == 0;
}

std::string SetupRun::LaunchCommand(const InstallPlan& plan) const {
    std::string command = Shown(plan.LaunchProgram);
    for (const std::string& argument : plan.LaunchArguments)
        command += " " + (argument.find_first_of(" \t\"'") == std::string::npos && !argument.empty()
                              ? Shown(argument)
                              : "\"" + Shown(argument) + "\"");
    return command;
}

void SetupRun::Launch(const InstallPlan& plan) {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    const std::string folder = plan.LaunchProgram.substr(0, plan.LaunchProgram.rfind('/') + 1);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> words = {plan.LaunchProgram};
    words.insert(words.end(), plan.LaunchArguments.begin(), plan.LaunchArguments.end());
    std::vector<char*> args;
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int err =
        posix_spawn(&pid, plan.LaunchProgram.c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (err != 0)
        log_.Say("Could not start " + Shown(plan.LaunchProgram) + ": " + std::strerror(err), true);
    else
        log_.Say("Started " + Shown(plan.LaunchProgram));
}

std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < (1u << 20))
        std::snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    return text;
}

void PrintPlan(const InstallPlan& plan, RunLog& log) {
    size_t files = 0;
    for (const PlanStep& step : plan.Steps) {
        log.SayStep("  " + step.Text);
        files += WritesFile(step.Kind);
    }
    const std::string folder = Shown(plan.Folders.Install);
    log.Say("  Program " + folder + "/" + std::string(kUninstallName) +
            " (removes the installation)");
    log.Say("  Record  " + folder + "/" + std::string(kManifestName));
    log.Say(std::to_string(files) + " file(s), " + SizeText(plan.Bytes) + " in all.");
}
