// Cold start of kavelomaker to its startup dialog shown, against a bare Qt
// Widgets program that shows one empty dialog: each started as a new process
// on the offscreen platform and timed from the start to its "shown" line
// (KAVELO_STARTUP_PROBE), ten runs each, alternating. Reports both medians
// and their ratio (goal: at most 3). The same for a setup started on a
// display: from its exec to its graphical wizard's first painted frame (the
// wizard, unpacked by the runtime into memory and run from there, closes its
// ready pipe then), against the same bare dialog (goal: at most 2), with the
// size of the runtime carrying the wizard (goal: under 1.5 MB).
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A home of its own, so the editor reads no real settings.
const std::string& Home() {
    static const std::string home = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo-start-XXXXXX").string();
        const std::string dir = mkdtemp(pattern.data());
        std::filesystem::create_directories(dir + "/run");
        std::filesystem::permissions(dir + "/run", std::filesystem::perms::owner_all);
        return dir;
    }();
    return home;
}

std::vector<std::string> ProbeEnvironment() {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "KAVELO_STARTUP_PROBE=1",
                                    "HOME=" + Home(), "XDG_CONFIG_HOME=" + Home() + "/.config",
                                    "XDG_RUNTIME_DIR=" + Home() + "/run"};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "QT_QPA_PLATFORM" && name != "HOME" && name != "XDG_CONFIG_HOME" &&
            name != "XDG_RUNTIME_DIR" && name != "DISPLAY" && name != "WAYLAND_DISPLAY")
            env.push_back(entry);
    }
    return env;
}

// Milliseconds from the start of program to its "shown" line; -1 on failure.
double StartOnce(const std::string& program) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    static const std::vector<std::string> env = ProbeEnvironment();
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    const auto start = Clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string said;
    char buffer[64];
    ssize_t n = 0;
    while (error == 0 && said.find("shown\n") == std::string::npos &&
           (n = read(out[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<size_t>(n));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    close(out[0]);
    if (error != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return said.find("shown\n") != std::string::npos ? ms : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_ColdStartEditorVsBareDialog(benchmark::State& state) {
    std::vector<double> bare, editor;
    for (auto _ : state) {
        bare.push_back(StartOnce(KAVELO_BARE_DIALOG));
        editor.push_back(StartOnce(KAVELO_EDITOR));
        if (bare.back() < 0 || editor.back() < 0) {
            state.SkipWithError("a program did not report its window shown");
            return;
        }
        state.SetIterationTime(editor.back() / 1000);
    }
    state.counters["bare_dialog_ms"] = Median(bare);
    state.counters["kavelomaker_ms"] = Median(editor);
    state.counters["editor_per_bare"] = Median(editor) / Median(bare);
    std::filesystem::remove_all(Home());
}

// Reads a small /proc file whole; empty when it cannot be read.
std::string ProcFile(const std::string& path) {
    std::string text(4096, '\0');
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return {};
    text.resize(static_cast<size_t>(std::max<ssize_t>(0, read(fd, text.data(), text.size()))));
    close(fd);
    return text;
}

// The wizard process the setup pid started from memory, once it has closed
// its ready pipe (its first frame is painted); 0 when none comes in 20 s.
// Only finding the child is polled (a few reads of its /proc entries each
// 100 us while the runtime unpacks the wizard); then the bench opens that
// pipe itself, as /proc lets a pipe be opened by its link, and sleeps in
// poll() until the last writer has closed it, so that it takes no CPU from
// the program it times, as reading the bare dialog's "shown" line takes none.
pid_t ReadyWizard(pid_t setup) {
    const auto until = Clock::now() + std::chrono::seconds(20);
    const std::string children = "/proc/" + std::to_string(setup) + "/task/" +
                                 std::to_string(setup) + "/children";
    while (Clock::now() < until) {
        const int child = std::atoi(ProcFile(children).c_str());
        const std::string proc = "/proc/" + std::to_string(child);
        const std::string cmdline = child > 0 ? ProcFile(proc + "/cmdline") : std::string();
        const size_t at = cmdline.find(std::string("--ready-fd\0", 11));
        if (at == std::string::npos) {
            usleep(100);
            continue;
        }
        const std::string link = proc + "/fd/" + (cmdline.c_str() + at + 11);
        const int ready = open(link.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (ready < 0) return child; // already closed: ready before we looked
        pollfd hangup{ready, POLLHUP, 0};
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        const int seen = poll(&hangup, 1, std::max(left, 1));
        close(ready);
        return seen == 1 ? child : 0;
    }
    return 0;
}

// A setup made with kavelo from the template, in the bench's home.
const std::string& TemplateSetup() {
    static const std::string setup = [] {
        const std::string path = Home() + "/demo.run";
        const std::string command = std::string(KAVELO_CLI) + " new " + path + " >/dev/null";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }();
    return setup;
}

// Milliseconds from the setup's exec to its wizard's first frame; -1 on failure.
double WizardOnce() {
    static const std::vector<std::string> env = [] {
        std::vector<std::string> e = ProbeEnvironment();
        e.push_back("DISPLAY=:99"); // a display for the start matrix; offscreen draws
        return e;
    }();
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(TemplateSetup().c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    const pid_t wizard = ReadyWizard(pid);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kill(wizard ? wizard : pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return wizard ? ms : -1;
}

void BM_SetupWizardStartVsBareDialog(benchmark::State& state) {
    if (TemplateSetup().empty()) {
        state.SkipWithError("kavelo new failed");
        return;
    }
    std::vector<double> bare, wizard;
    for (auto _ : state) {
        bare.push_back(StartOnce(KAVELO_BARE_DIALOG));
        wizard.push_back(WizardOnce());
        if (bare.back() < 0 || wizard.back() < 0) {
            state.SkipWithError("a program did not show its window");
            return;
        }
        state.SetIterationTime(wizard.back() / 1000);
    }
    state.counters["bare_dialog_ms"] = Median(bare);
    state.counters["setup_wizard_ms"] = Median(wizard);
    state.counters["wizard_per_bare"] = Median(wizard) / Median(bare);
    state.counters["runtime_with_wizard_bytes"] =
        static_cast<double>(std::filesystem::file_size(KAVELO_RUNTIME));
}

} // namespace

BENCHMARK(BM_SetupWizardStartVsBareDialog)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

BENCHMARK(BM_ColdStartEditorVsBareDialog)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

BENCHMARK_MAIN();
