// Building a 1 GB setup from the machine's own files (its largest programs
// and libraries, up to 500 of them) with kavelo add, then kavelo info and a
// caption change on it: wall time and peak memory of each whole process.
// With KAVELO_BEFORE naming another kavelo (one built before a change), the
// same commands run with it in turn, and the ratios compare the two. A
// setup that stores with zstd has its peak memory measured on the files of
// 8 MB and more among them (128 MB in all): the compressors' tables, which
// such files fill, bound it, and level 19 takes minutes per gigabyte.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BenchRun.h"

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kTotal = uintmax_t{1} << 30;
constexpr size_t kMaxFiles = 500;

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "kavelo-bench-build-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

// Regular files of 1 to 64 MB below the system's program folders, in path
// order, with names that differ in lower case, until 1 GB.
const std::vector<std::string>& Files() {
    static const std::vector<std::string> files = [] {
        std::vector<std::pair<std::string, uintmax_t>> found;
        for (const char* root : {"/usr/lib", "/usr/bin", "/usr/libexec", "/usr/share"}) {
            std::error_code ec;
            for (auto it = fs::recursive_directory_iterator(
                     root, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                std::error_code e2;
                if (!it->is_regular_file(e2) || it->is_symlink(e2)) continue;
                const uintmax_t size = it->file_size(e2);
                if (!e2 && size >= (1u << 20) && size <= (64u << 20) &&
                    access(it->path().c_str(), R_OK) == 0)
                    found.emplace_back(it->path().string(), size);
            }
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> chosen;
        std::set<std::string> names;
        uintmax_t total = 0;
        for (const auto& [path, size] : found) {
            std::string name = fs::path(path).filename().string();
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (name.find('\\') != std::string::npos || !names.insert(name).second) continue;
            chosen.push_back(path);
            total += size;
            if (total >= kTotal || chosen.size() >= kMaxFiles) break;
        }
        return chosen;
    }();
    return files;
}

struct Measured {
    double Seconds = -1;
    double PeakMb = 0;
};

// Runs words as a whole process, its output thrown away: wall time and
// peak resident memory.
Measured Run(std::vector<std::string> words) {
    const RunFigures figures = RunMeasured(std::move(words), Dir() + "/home");
    return {figures.Seconds, static_cast<double>(figures.PeakKb) / 1024.0};
}

struct Tool {
    std::string Name;
    std::string Path;
};

std::vector<Tool> Tools() {
    std::vector<Tool> tools = {{"", KAVELO_PATH}};
    if (const char* before = std::getenv("KAVELO_BEFORE")) tools.push_back({"before_", before});
    return tools;
}

std::string SetupOf(const Tool& tool) {
    return Dir() + "/" + tool.Name + "big.exe";
}

// kavelo new --empty (and the codec set when given), then kavelo add of
// files: the add is measured.
Measured Build(const Tool& tool, const std::string& setup, const std::vector<std::string>& files,
               const char* codec = nullptr) {
    fs::remove(setup);
    if (Run({tool.Path, "new", "--empty", setup}).Seconds < 0) return {};
    if (codec && Run({tool.Path, "set", setup, "compression", codec}).Seconds < 0) return {};
    std::vector<std::string> words = {tool.Path, "add", setup};
    words.insert(words.end(), files.begin(), files.end());
    return Run(words);
}

Measured Build(const Tool& tool) {
    return Build(tool, SetupOf(tool), Files());
}

// The files of 8 MB and more, until 128 MB.
std::vector<std::string> LargeFiles() {
    std::vector<std::string> large;
    uintmax_t total = 0;
    for (const std::string& f : Files()) {
        const uintmax_t size = fs::file_size(f);
        if (size < (8u << 20) || total >= (128u << 20)) continue;
        large.push_back(f);
        total += size;
    }
    return large;
}

void BM_Add1GB(benchmark::State& state) {
    fs::create_directories(Dir() + "/home");
    uintmax_t total = 0;
    for (const std::string& f : Files())
        total += fs::file_size(f);
    const std::vector<Tool> tools = Tools();
    for (auto _ : state) {
        std::vector<Measured> m;
        for (const Tool& tool : tools) {
            m.push_back(Build(tool));
            if (m.back().Seconds < 0) return state.SkipWithError("kavelo add failed");
            state.counters[tool.Name + "add_s"] = m.back().Seconds;
            state.counters[tool.Name + "add_peak_mb"] = m.back().PeakMb;
        }
        state.SetIterationTime(m[0].Seconds);
        if (m.size() > 1) {
            state.counters["add_per_before"] = m[0].Seconds / m[1].Seconds;
            state.counters["peak_per_before"] = m[0].PeakMb / m[1].PeakMb;
        }
    }
    state.counters["files"] = static_cast<double>(Files().size());
    state.counters["input_mb"] = static_cast<double>(total) / (1 << 20);
}

void BM_AddZstdPeak(benchmark::State& state) {
    fs::create_directories(Dir() + "/home");
    const Tool tool{"", KAVELO_PATH};
    const std::vector<std::string> files = LargeFiles();
    for (auto _ : state) {
        const Measured m = Build(tool, Dir() + "/zstd.exe", files, "zstd");
        if (m.Seconds < 0) return state.SkipWithError("kavelo add with zstd failed");
        state.SetIterationTime(m.Seconds);
        state.counters["zstd_add_s"] = m.Seconds;
        state.counters["zstd_add_peak_mb"] = m.PeakMb;
    }
    fs::remove(Dir() + "/zstd.exe");
    uintmax_t total = 0;
    for (const std::string& f : files)
        total += fs::file_size(f);
    state.counters["files"] = static_cast<double>(files.size());
    state.counters["input_mb"] = static_cast<double>(total) / (1 << 20);
}

// kavelo info and a caption change of the setup the add made (each with
// the setup written by its own kavelo).
void BM_InfoAndCaption(benchmark::State& state) {
    const std::vector<Tool> tools = Tools();
    for (const Tool& tool : tools)
        if (!fs::exists(SetupOf(tool)) && Build(tool).Seconds < 0)
            return state.SkipWithError("kavelo add failed");
    for (auto _ : state) {
        for (const Tool& tool : tools) {
            std::vector<double> info;
            for (int i = 0; i < 9; ++i)
                info.push_back(Run({tool.Path, "info", SetupOf(tool)}).Seconds);
            const Measured caption =
                Run({tool.Path, "set", SetupOf(tool), "caption", "Another caption"});
            if (Median(info) < 0 || caption.Seconds < 0)
                return state.SkipWithError("kavelo info or set failed");
            state.counters[tool.Name + "info_ms"] = Median(info) * 1000;
            state.counters[tool.Name + "caption_s"] = caption.Seconds;
            state.counters[tool.Name + "caption_peak_mb"] = caption.PeakMb;
        }
        state.SetIterationTime(state.counters["info_ms"] / 1000);
    }
}

} // namespace

BENCHMARK(BM_Add1GB)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_InfoAndCaption)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AddZstdPeak)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(Dir()); // one or two 1 GB setups
    return 0;
}
