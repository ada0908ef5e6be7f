// Installing real files from the machine's packages (Qt's plugins and
// libraries, documentation, icons) and generated ones from a zstd setup
// (every file decoded, hashed for the manifest, written under a temporary
// name and renamed, everything flushed to the disk before the commit),
// against tar --zstd -xf of the same files into the same file system, in
// turn, from a warm page cache; with the installation's peak memory. Then
// the peak memory of installing one 2 GB file stored with Huffman, and what
// flushing the installed files costs with syncfs and with an fdatasync of
// every file and folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "BenchProject.h"
#include "BenchRun.h"
#include "common/Host.h"
#include "common/Sha256.h"
#include "common/WholeFile.h"
#include "project/SaveSetup.h"
#include "project/Session.h"

namespace fs = std::filesystem;

namespace {

class QuietHost : public Host {
  public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

const std::string& Dir() {
    static const std::string dir = BenchTempFolder("kavelo-bench-install");
    return dir;
}

std::string Home() {
    return Dir() + "/home";
}

// Names a Copy line can carry as they are.
bool PlainName(const std::string& name) {
    return name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789._+-") == std::string::npos;
}

// The bench's files: up to 400 real ones (120 MB) and 100 generated ones
// (50 MB), written below Dir()/tree.
std::vector<std::string> WriteFiles() {
    std::vector<std::string> names;
    fs::create_directories(Dir() + "/tree");
    for (const auto& [name, path] : RealFiles(400, 120 << 20, 32 << 20)) {
        if (!PlainName(name)) continue;
        fs::copy_file(path, Dir() + "/tree/" + name, fs::copy_options::overwrite_existing);
        names.push_back(name);
    }
    // Made here and let go: the installation's peak memory, as the child's
    // ru_maxrss tells it, starts from the bench's own at the fork.
    const std::vector<std::string> generated = BenchFiles();
    for (int i = 0; i < 100; ++i) {
        std::ofstream(Dir() + "/tree/" + BenchFileName(i), std::ios::binary) << generated[i];
        names.push_back(BenchFileName(i));
    }
    return names;
}

// Saves a setup at path holding the files of Dir()/tree with codec, one Copy
// line each.
bool SaveBenchSetup(const std::string& path, const std::vector<std::string>& names,
                    EntryCodec codec) {
    static QuietHost host;
    Module1 session(host);
    session.NewProject(false);
    session.Project.Codec = codec;
    std::string script = "[Install]\r\n";
    for (const std::string& name : names) {
        session.Project.AddFile({name, ReadWholeFile(Dir() + "/tree/" + name)});
        script += "Copy " + name + ",1,," + name + "\r\n";
    }
    session.Project.ScriptText = script;
    session.Project.ProjectPath = path;
    session.Saving.ProgramPath = Dir() + "/kavelomaker";
    session.Saving.BuiltInRuntime = ReadWholeFile(RUNTIME_PATH);
    if (!session.SaveSetup()) return false;
    return ::chmod(path.c_str(), 0755) == 0;
}

const std::vector<std::string>& Prepared() {
    static const std::vector<std::string> names = [] {
        fs::create_directories(Home());
        std::vector<std::string> files = WriteFiles();
        if (!SaveBenchSetup(Dir() + "/bench.run", files, EntryCodec::Zstd) ||
            RunTimed({"sh", "-c",
                      "tar -I 'zstd -19 -T1' -cf '" + Dir() + "/bench.tar.zst' -C '" + Dir() +
                          "/tree' ."},
                     Home()) < 0)
            files.clear();
        return files;
    }();
    return names;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the SHA-256 work an installation does and tar does
// not: every stored byte checked before anything is written, and every
// unpacked byte hashed for the manifest; on one core, the reading not
// counted.
double HashingSeconds() {
    double seconds = 0;
    std::vector<std::string> paths = {Dir() + "/bench.run"};
    for (const std::string& name : Prepared())
        paths.push_back(Dir() + "/tree/" + name);
    for (const std::string& path : paths) {
        const std::string bytes = ReadWholeFile(path);
        const auto start = std::chrono::steady_clock::now();
        Sha256 hash;
        hash.Update(bytes);
        benchmark::DoNotOptimize(hash.Finish());
        seconds += Since(start);
    }
    return seconds;
}

void BM_InstallVsTarZstd(benchmark::State& state) {
    if (Prepared().empty()) return state.SkipWithError("could not make the setup or the tarball");
    uintmax_t bytes = 0;
    for (const std::string& name : Prepared())
        bytes += fs::file_size(Dir() + "/tree/" + name);
    InstallVsTarZstd(state, Dir() + "/bench.run", Dir() + "/bench.tar.zst", Dir(), Home());
    state.counters["files"] = static_cast<double>(Prepared().size());
    state.counters["input_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["sha256_cpu_s"] = HashingSeconds();
}

// One generated 2 GB file, stored with Huffman: the installation's peak
// memory must not grow with it.
void BM_InstallLargeFilePeakMemory(benchmark::State& state) {
    const std::string large = Dir() + "/large";
    fs::create_directories(large + "/home");
    {
        std::mt19937 rng(3);
        std::ofstream out(Dir() + "/tree-large", std::ios::binary);
        for (int k = 0; k < 64; ++k)
            out << BenchTextLike(size_t{32} << 20, rng);
    }
    {
        QuietHost host;
        Module1 session(host);
        session.NewProject(false);
        session.Project.AddFile({"large.dat", ReadWholeFile(Dir() + "/tree-large")});
        fs::remove(Dir() + "/tree-large");
        session.Project.ScriptText = "[Install]\r\nCopy large.dat,1,,large.dat\r\n";
        session.Project.ProjectPath = large + "/large.run";
        session.Saving.ProgramPath = Dir() + "/kavelomaker";
        session.Saving.BuiltInRuntime = ReadWholeFile(RUNTIME_PATH);
        if (!session.SaveSetup() || ::chmod((large + "/large.run").c_str(), 0755) != 0)
            return state.SkipWithError("could not make the setup");
    }
    for (auto _ : state) {
        fs::remove_all(large + "/installed");
        const RunFigures run = RunMeasured(
            {large + "/large.run", "--unattended", "--dir", large + "/installed", "--no-launch"},
            large + "/home");
        if (run.Seconds < 0) return state.SkipWithError("installing failed");
        state.SetIterationTime(run.Seconds);
        state.counters["file_MB"] =
            static_cast<double>(fs::file_size(large + "/installed/large.dat")) / 1e6;
        state.counters["install_peak_MB"] = static_cast<double>(run.PeakKb) / 1024;
        state.counters["bench_rss_MB"] = ResidentMb();
    }
    fs::remove_all(large);
}

// Writes the bench's files afresh into folder (as an installation writes
// them: new files, renamed into place) and gives their descriptors' paths.
std::vector<std::string> WriteFresh(const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (const std::string& name : Prepared()) {
        const std::string path = folder + "/" + name;
        fs::copy_file(Dir() + "/tree/" + name, path + ".part");
        fs::rename(path + ".part", path);
        paths.push_back(path);
    }
    return paths;
}

// The flush before the commit: one syncfs, against an fdatasync of every
// file and an fsync of its folder (what the renames need), after the same
// fresh writes.
void BM_FlushSyncfsVsFdatasync(benchmark::State& state) {
    if (Prepared().empty()) return state.SkipWithError("could not prepare the files");
    const std::string folder = Dir() + "/flush";
    std::vector<double> whole, each;
    for (auto _ : state) {
        ::sync(); // only the fresh writes are left to flush
        WriteFresh(folder);
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        auto start = std::chrono::steady_clock::now();
        const bool synced = ::syncfs(dir) == 0;
        whole.push_back(Since(start));
        ::close(dir);

        ::sync();
        const std::vector<std::string> paths = WriteFresh(folder);
        start = std::chrono::steady_clock::now();
        bool each_ok = true;
        for (const std::string& path : paths) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            each_ok = each_ok && fd >= 0 && ::fdatasync(fd) == 0;
            ::close(fd);
        }
        const int again = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        each_ok = each_ok && ::fsync(again) == 0;
        ::close(again);
        each.push_back(Since(start));
        if (!synced || !each_ok) return state.SkipWithError("flushing failed");
        state.SetIterationTime(whole.back());
    }
    state.counters["syncfs_s"] = Median(whole);
    state.counters["fdatasync_each_s"] = Median(each);
    state.counters["fdatasync_per_syncfs"] = Median(each) / Median(whole);
    fs::remove_all(folder);
}

} // namespace

BENCHMARK(BM_InstallVsTarZstd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_FlushSyncfsVsFdatasync)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InstallLargeFilePeakMemory)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv) {
    return RunBenchmarksThenRemove(argc, argv, Dir());
}
