// --unattended and --dry-run: installing, or showing what an installation
// would do, without asking anything; presets alone go to the start matrix.
#include "InstallMode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "SetupRun.h"
#include "StartMatrix.h"
#include "common/Errors.h"
#include "install/DisplayText.h"
#include "install/Journal.h"

namespace {

constexpr std::string_view kOptions[] = {
    "--unattended", "--dry-run", "--accept-license", "--accept-licence",       "--no-launch",
    "--launch",     "--dir",     "--select",         "--allow-unsafe-folders", "--log"};

// Prints each step as it is carried out; Ctrl-C cancels.
class ConsoleProgress : public InstallProgress {
  public:
    explicit ConsoleProgress(RunLog& log) : log_(log) {}
    void Step(const PlanStep& step) override { log_.SayStep("  " + step.Text); }
    bool Cancelled() override { return StopRequested(); }

  private:
    RunLog& log_;
};

int Usage(const std::string& why) {
    std::fprintf(stderr, "setup: %s (see --help)\n", why.c_str());
    return kExitUsage;
}

// The licence printed, and why the installation does not go on without it.
int RefuseWithoutLicence(SetupRun& run) {
    std::printf("%s\n", ShownText(run.LicenseText()).c_str());
    run.Log().Say("This setup asks you to accept its licence, shown above (" +
                      Shown(run.LicenseName()) +
                      "). To accept it, run the setup again with --accept-license.",
                  true);
    return kExitLicence;
}

int DryRun(SetupRun& run, const std::string& folder) {
    RunLog& log = run.Log();
    struct stat st {};
    if (::stat((folder + "/" + std::string(kJournalName)).c_str(), &st) == 0)
        log.Say("Note: an interrupted installation in " + Shown(folder) + " will be undone first.");
    if (!run.LicenseName().empty() && !run.Options().AcceptLicense)
        log.Say("Note: the setup's licence (" + Shown(run.LicenseName()) +
                ") must be accepted with --accept-license.");
    InstallPlan plan;
    try {
        plan = run.Plan(folder);
    } catch (const KaveloError& e) {
        if (const int status = run.Checked()) return status;
        run.SayRefusal("The installation could not go ahead: ", e);
        return kExitFailed;
    }
    if (const int status = run.Checked()) return status;
    log.Say("An installation into " + Shown(folder) + " would do this (nothing is written now):");
    PrintPlan(plan, log);
    if (!plan.LaunchProgram.empty() && !run.Setup().Line(LineLaunchText).empty() &&
        !run.Environment().Root)
        log.Say("At the end it can start " + run.LaunchCommand(plan) +
                " (the wizard asks; --unattended only with --launch).");
    return kExitInstalled;
}

int Unattended(SetupRun& run, const std::string& folder) {
    RunLog& log = run.Log();
    CatchStopSignals();
    log.Say("Installing " + Shown(run.Setup().Line(LineCaption)) + " into " + Shown(folder));
    std::optional<InstallPlan> plan;
    if (const int status = run.Prepare(folder, plan)) return status;
    ConsoleProgress progress(log);
    InstallResult result;
    const int status = run.Install(*plan, progress, result);
    if (status != kExitInstalled) return status;
    log.Say("Installed into " + Shown(folder) + ". To remove it again, run " +
            Shown(result.Uninstall));
    // Unattended, a window opening at the end is asked for, never assumed.
    if (run.Options().Launch && run.CanLaunch(*plan)) run.Launch(*plan);
    return kExitInstalled;
}

} // namespace

bool HasInstallOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        for (const std::string_view option : kOptions)
            if (arg == option || (arg.starts_with(option) && arg.size() > option.size() &&
                                  arg[option.size()] == '='))
                return true;
    }
    return false;
}

int RunInstallMode(int argc, char** argv, const std::string& self, const WizardRequest& request) {
    InstallOptions options;
    try {
        options = ParseInstallOptions(argc, argv);
    } catch (const KaveloError& e) {
        return Usage(e.Reason());
    }
    if (!options.Unattended && !options.DryRun) {
        if (!options.Selects.empty())
            return Usage("--select goes with --unattended or --dry-run; the wizard asks instead");
        return StartWizard(self, options, request);
    }
    if (request.Choice != WizardChoice::Either)
        return Usage("--gui and --text go with the wizard, not with --unattended or --dry-run");
    RunLog log;
    try {
        if (!options.Log.empty()) log.Open(options.Log, self);
    } catch (const KaveloError& e) {
        return Usage(ShownError(e));
    }
    SetupRun run(self, options, log);
    if (const int status = run.Load()) return status;
    std::string folder;
    try {
        folder = run.DefaultFolder();
    } catch (const KaveloError& e) {
        log.Say("setup: " + ShownError(e) + (options.Dir.empty() ? "; give one with --dir" : ""),
                true);
        return options.Dir.empty() ? kExitFailed : kExitUsage;
    }
    if (options.DryRun) return DryRun(run, folder);
    if (!run.LicenseName().empty() && !options.AcceptLicense)
        return run.Checked() ? run.Checked() : RefuseWithoutLicence(run);
    return Unattended(run, folder);
}

void PrintInstallHelp(FILE* out) {
    std::fprintf(
        out,
        "\ninstalling (with no option, or its own path alone, the setup asks with a wizard:\n"
        "  graphical with a display (DISPLAY or WAYLAND_DISPLAY); else in the terminal it was\n"
        "  started in; else in a terminal emulator opened on the display; with neither it says\n"
        "  how to install and exits with status 6):\n"
        "  --gui               the graphical wizard, or status 6 when it cannot start\n"
        "  --text              the wizard in the terminal (or in a terminal emulator)\n"
        "  --hold              with --text: wait for Enter at the end (a window stays open)\n"
        "  --unattended        install without asking, with the components the setup starts with\n"
        "  --dry-run           print what an installation would do; nothing is written\n"
        "  --dir DIR           install into DIR (default ~/.local/opt/SUBFOLDER, as root\n"
        "                      /opt/SUBFOLDER, SUBFOLDER being the setup's installation folder)\n"
        "  --select ID=VALUE,...  set components: VALUE 1 ticks element ID, 0 unticks it,\n"
        "                      N picks item N of a drop-down list\n"
        "  --accept-license    accept the setup's licence (needed when it shows one)\n"
        "  --launch            with --unattended, start the installed program at the end\n"
        "  --no-launch         never start the installed program at the end\n"
        "  --allow-unsafe-folders  as root, install into folders another user could replace\n"
        "  --log FILE          also append what happens to FILE\n"
        "The installation folder gets a program \"uninstall\" that removes the installation.\n"
        "\nexit status: 0 installed (--dry-run: would install), 1 failed with nothing changed,\n"
        "  2 wrong options, 3 licence not accepted, 4 cancelled with nothing changed,\n"
        "  5 failed and not everything could be undone (the next start tries again),\n"
        "  6 no wizard could be shown (no display and no terminal): nothing was done\n");
}
