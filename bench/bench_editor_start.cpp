// Cold start of kavelomaker to its startup dialog shown, against a bare Qt
// Widgets program that shows one empty dialog: each started as a new process
// on the offscreen platform and timed from the start to its "shown" line
// (KAVELO_STARTUP_PROBE), ten runs each, alternating. Reports both medians
// and their ratio (goal: at most 3).
#include <benchmark/benchmark.h>

#include <spawn.h>
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

} // namespace

BENCHMARK(BM_ColdStartEditorVsBareDialog)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

BENCHMARK_MAIN();
