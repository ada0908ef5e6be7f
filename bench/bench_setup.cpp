// Saving and opening a project of 200 files, 100 MB in all (half text-like,
// half binary-like): the first save packs every file, the second finds them
// all packed, and opening reads the package back without unpacking user files.
// Peak memory is measured in a child process that does one first save.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BenchProject.h"
#include "common/Host.h"
#include "project/SaveSetup.h"
#include "project/Session.h"

namespace {

constexpr int kFiles = kBenchFiles;
constexpr size_t kTotal = kBenchTotal;

class QuietHost : public Host {
  public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

Module1& Session() {
    static QuietHost host;
    static Module1 session(host);
    return session;
}

bool SaveSetup() {
    return Session().SaveSetup();
}

void AddFile(const std::string& name, std::string data) {
    Session().Project.AddFile({name, std::move(data)});
}

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo-bench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

// cached: keep the generated contents for the next project (timing runs);
// otherwise the project holds the only copy (memory runs).
void MakeProject(bool cached = true) {
    if (!cached) {
        std::mt19937 rng(7);
        Session().NewProject(false);
        for (int i = 0; i < kFiles; ++i)
            AddFile(BenchFileName(i), i % 2 ? BenchBinaryLike(kTotal / kFiles, rng)
                                            : BenchTextLike(kTotal / kFiles, rng));
        Session().Project.ProjectPath = Dir() + "/bench.exe";
        return;
    }
    static const std::vector<std::string> files = BenchFiles();
    Session().NewProject(false);
    for (int i = 0; i < kFiles; ++i)
        AddFile(BenchFileName(i), files[i]);
    Session().Project.ProjectPath = Dir() + "/bench.exe";
}

void Prepare() {
    Session().Saving.ProgramPath = Dir() + "/kavelomaker";
    Session().Saving.BuiltInRuntime = std::string(200000, 'R');
}

void BM_FirstSave(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        state.PauseTiming();
        MakeProject();
        state.ResumeTiming();
        if (!SaveSetup()) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_SecondSave(benchmark::State& state) {
    Prepare();
    MakeProject();
    if (!SaveSetup()) state.SkipWithError("save failed");
    for (auto _ : state)
        if (!SaveSetup()) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_Open(benchmark::State& state) {
    Prepare();
    MakeProject();
    if (!SaveSetup()) state.SkipWithError("save failed");
    for (auto _ : state)
        if (!Session().OpenSetup(Dir() + "/bench.exe")) state.SkipWithError("open failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

// Peak memory of a whole process that builds the project and saves it once,
// as a multiple of the project's unpacked size.
void BM_FirstSavePeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) state.SkipWithError("pipe");
        const pid_t child = fork();
        if (child == 0) {
            Prepare();
            MakeProject(false);
            const long before = StatusKb("VmRSS:");
            SaveSetup();
            const long peak = StatusKb("VmHWM:");
            long values[2] = {before, peak};
            if (write(pipeFds[1], values, sizeof values) != sizeof values) _exit(1);
            _exit(0);
        }
        long values[2] = {0, 0};
        if (read(pipeFds[0], values, sizeof values) != sizeof values) state.SkipWithError("child");
        waitpid(child, nullptr, 0);
        close(pipeFds[0]);
        close(pipeFds[1]);
        state.counters["rss_before_MB"] = values[0] / 1024.0;
        state.counters["peak_MB"] = values[1] / 1024.0;
        state.counters["peak_per_unpacked"] = values[1] * 1024.0 / kTotal;
    }
}

} // namespace

// The memory run goes first, while this process is still small: its child
// starts as a copy of it.
BENCHMARK(BM_FirstSavePeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FirstSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SecondSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
