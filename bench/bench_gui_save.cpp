// Saving the 100 MB bench project (no file packed yet) through the editor's
// host -- the progress window shown over a disabled window, the event loop
// turned by the time-based yield -- against the same save through the CLI's
// host, which shows nothing and never yields. Reports both times, their
// ratio (goal: at most 1.1) and the longest gap between two event-loop turns
// during the GUI save (goal: at most 50 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "BenchProject.h"
#include "app/GuiYield.h"
#include "app/MakerHost.h"
#include "project/SaveSetup.h"
#include "project/Session.h"
#include "ui/ProjectEvents.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo-bench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

void MakeProject(Module1& module) {
    module.NewProject(false);
    const auto& files = BenchContents();
    for (size_t i = 0; i < files.size(); ++i)
        module.Project.AddFile({"file" + std::to_string(i) + ".dat", files[i]});
    module.Project.ProjectPath = Dir() + "/bench.exe";
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One save of a fresh project; returns its time in ms.
double TimedSave(Module1& module) {
    MakeProject(module);
    const auto start = Clock::now();
    if (!module.SaveSetup()) return -1;
    return Ms(Clock::now() - start);
}

// The longest time between the save's start, each event-loop turn and its end.
struct TurnGaps {
    Clock::time_point last;
    double longest = 0;
    int turns = 0;
    void Start() {
        last = Clock::now();
        longest = 0;
        turns = 0;
    }
    void Turn() {
        const auto now = Clock::now();
        longest = std::max(longest, Ms(now - last));
        last = now;
        ++turns;
    }
};

void BM_SaveGuiHostVsCliHost(benchmark::State& state) {
    SaveOptions saving;
    saving.ProgramPath = Dir() + "/kavelomaker";
    saving.BuiltInRuntime = std::string(200000, 'R');
    StderrHost cliHost;
    Module1 cli(cliHost);
    Module1 gui;
    cli.Saving = saving;
    gui.Saving = saving;
    ProjectEvents events(gui);
    MakerHost host(events);
    gui.SetHost(host);
    QWidget owner;
    owner.resize(640, 480);
    owner.show();
    host.SetOwner(&owner);
    QApplication::processEvents();

    TurnGaps gaps;
    std::vector<double> cliTimes, guiTimes, longestGaps;
    for (auto _ : state) {
        RemoveGuiYield();
        cliTimes.push_back(TimedSave(cli));
        if (cliTimes.back() < 0) state.SkipWithError("save failed");
        InstallGuiYield();
        SetYieldTurnObserver([&] { gaps.Turn(); });
        MakeProject(gui);
        gaps.Start();
        const auto start = Clock::now();
        if (!gui.SaveSetup()) state.SkipWithError("save failed");
        gaps.Turn();
        guiTimes.push_back(Ms(Clock::now() - start));
        longestGaps.push_back(gaps.longest);
        SetYieldTurnObserver({});
        RemoveGuiYield();
        state.SetIterationTime(guiTimes.back() / 1000);
    }
    state.counters["cli_ms"] = Median(cliTimes);
    state.counters["gui_ms"] = Median(guiTimes);
    state.counters["gui_per_cli"] = Median(guiTimes) / Median(cliTimes);
    state.counters["longest_gap_ms"] = *std::max_element(longestGaps.begin(), longestGaps.end());
    state.counters["turns"] = gaps.turns;
    std::filesystem::remove_all(Dir());
}

} // namespace

BENCHMARK(BM_SaveGuiHostVsCliHost)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
