#include "StartMatrix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "InstallMode.h"
#include "SetupRun.h"
#include "TerminalWizard.h"
#include "WizardModule.h"
#include "common/Utf8Text.h"
#include "install/DisplayText.h"

extern char** environ;

namespace {

// A terminal emulator and the words that come between it and the command it
// is to run.
struct Emulator {
    std::string Program;
    std::vector<std::string> Before;
};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The program's path: name itself when it holds a "/", else the first
// executable of that name in $PATH; empty when there is none.
std::string FindProgram(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
    const std::string path = Env("PATH");
    for (size_t from = 0; from <= path.size();) {
        size_t end = path.find(':', from);
        if (end == std::string::npos) end = path.size();
        const std::string folder = end > from ? path.substr(from, end - from) : ".";
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        from = end + 1;
    }
    return "";
}

// x-terminal-emulator (Debian's choice), then $TERMINAL, then the common
// ones; each takes the command after its own option.
std::vector<Emulator> Emulators() {
    std::vector<Emulator> list = {{"x-terminal-emulator", {"-e"}}};
    if (!Env("TERMINAL").empty()) list.push_back({Env("TERMINAL"), {"-e"}});
    const std::vector<Emulator> common = {
        {"gnome-terminal", {"--"}},
        {"konsole", {"-e"}},
        {"xfce4-terminal", {"-x"}},
        {"mate-terminal", {"-x"}},
        {"kitty", {}},
        {"alacritty", {"-e"}},
        {"foot", {}},
        {"xterm", {"-e"}},
    };
    list.insert(list.end(), common.begin(), common.end());
    return list;
}

// Runs words[0] (a path) and waits; the exit status, or -1 when it could not
// be started. quiet sends its output to /dev/null.
int RunAndWait(std::vector<std::string> words, bool quiet) {
    std::vector<char*> args;
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        for (int fd : {1, 2})
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The terminal wizard in the first terminal emulator found; -1 when none is.
int RunInEmulator(const std::string& self, const InstallOptions& options) {
    for (const Emulator& e : Emulators()) {
        const std::string program = FindProgram(e.Program);
        if (program.empty()) continue;
        std::vector<std::string> words = {program};
        words.insert(words.end(), e.Before.begin(), e.Before.end());
        words.insert(words.end(), {self, "--text", "--hold"});
        const std::vector<std::string> presets = PresetArguments(options);
        words.insert(words.end(), presets.begin(), presets.end());
        const int status = RunAndWait(words, false);
        if (status >= 0) return status;
    }
    return -1;
}

int RunTerminal(const std::string& self, const InstallOptions& options, bool hold) {
    const int status = RunWizard(self, options);
    if (hold) {
        std::printf("\nPress Enter to close this window.\n");
        std::fflush(stdout);
        char c = 0;
        while (::read(0, &c, 1) == 1 && c != '\n') {
        }
    }
    return status;
}

// Says on standard error, and as a desktop notification when notify-send
// exists, why the setup cannot ask and how to install it without asking.
int SayHowToInstall(const std::string& self, const std::string& why) {
    const std::string text = why + "\nTo install it without questions, run it with --unattended (" +
                             Shown(self) + " --help lists the options).";
    std::fprintf(stderr, "%s: %s\n", Shown(self).c_str(), text.c_str());
    const std::string notify = FindProgram("notify-send");
    if (!notify.empty()) {
        const std::string name = self.substr(self.rfind('/') + 1);
        RunAndWait({notify, "--app-name=" + BytesToUtf8(name), BytesToUtf8(name), BytesToUtf8(text)},
                   true);
    }
    return kExitNoWizard;
}

} // namespace

StartPlace CurrentStartPlace() {
    StartPlace place;
    place.Display = !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty();
    place.Terminal = ::isatty(0) && ::isatty(1);
    return place;
}

std::vector<StartWay> StartOrder(const StartPlace& place, WizardChoice choice) {
    std::vector<StartWay> order;
    if (place.Display && choice != WizardChoice::Text) order.push_back(StartWay::Graphical);
    if (choice == WizardChoice::Graphical) return order;
    if (place.Terminal) order.push_back(StartWay::Terminal);
    if (place.Display) order.push_back(StartWay::Emulator);
    if (choice == WizardChoice::Either) order.push_back(StartWay::Message);
    return order;
}

std::vector<std::string> PresetArguments(const InstallOptions& options) {
    std::vector<std::string> words;
    if (!options.Dir.empty()) words.insert(words.end(), {"--dir", options.Dir});
    if (options.AcceptLicense) words.push_back("--accept-license");
    if (options.NoLaunch) words.push_back("--no-launch");
    if (!options.Log.empty()) words.insert(words.end(), {"--log", options.Log});
    return words;
}

int StartWizard(const std::string& self, const InstallOptions& options,
                const WizardRequest& request) {
    const StartPlace place = CurrentStartPlace();
    std::string why = place.Display ? "the graphical wizard cannot start here"
                                    : "there is no display and no terminal to ask in";
    for (const StartWay way : StartOrder(place, request.Choice)) {
        switch (way) {
        case StartWay::Graphical: {
            const WizardStart start = RunGraphicalWizard(self, PresetArguments(options));
            if (start.Started) return start.Status;
            why = start.WhyNot;
            break;
        }
        case StartWay::Terminal:
            return RunTerminal(self, options, request.Hold);
        case StartWay::Emulator:
            // --hold is how the setup starts itself in an emulator: never a second one.
            if (request.Hold) break;
            if (const int status = RunInEmulator(self, options); status >= 0) return status;
            why += ", and no terminal emulator was found";
            break;
        case StartWay::Message:
            return SayHowToInstall(self, why);
        }
    }
    if (request.Choice == WizardChoice::Graphical && !place.Display)
        why = "--gui needs a display (DISPLAY or WAYLAND_DISPLAY)";
    else if (request.Choice == WizardChoice::Text && !place.Display && !place.Terminal)
        why = "--text needs a terminal";
    std::fprintf(stderr, "%s: %s\n", Shown(self).c_str(), why.c_str());
    return kExitNoWizard;
}
