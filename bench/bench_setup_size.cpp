// The size of a setup's package of real files from the machine (Qt's plugins
// and libraries, documentation, icons) with each codec, against tar archives
// of the same files: tar --zstd at level 19, tar -cJf (xz) and tar -czf. The
// files are copied under the names the setup gives them, so every archive
// holds the same bytes; the ratios are package bytes over archive bytes, one
// run, plus the wall time of each build.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "common/Host.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "project/SaveSetup.h"
#include "project/Session.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxFiles = 500;         // a project holds 512
constexpr uintmax_t kMaxBytes = 96 << 20; // so that level 19 takes seconds, not minutes

class QuietHost : public Host {
  public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "kavelo-bench-size-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The package's bytes (the runtime left out) of a setup of files with codec,
// and the wall time of the save.
std::pair<int64_t, double> PackageSize(const std::map<std::string, fs::path>& files,
                                       EntryCodec codec) {
    static QuietHost host;
    Module1 session(host);
    session.NewProject(false);
    session.Project.Codec = codec;
    for (const auto& [name, path] : files)
        session.Project.AddFile({name, ReadWholeFile(path.string())});
    session.Project.ProjectPath = Dir() + "/" + std::string(CodecName(codec)) + ".exe";
    session.Saving.ProgramPath = Dir() + "/kavelomaker";
    session.Saving.BuiltInRuntime = "RUNTIME";
    const auto start = std::chrono::steady_clock::now();
    if (!session.SaveSetup()) return {-1, 0};
    const double seconds = Seconds(start);
    const BinaryFile setup = BinaryFile::OpenRead(session.Project.ProjectPath);
    return {setup.Length() - FindPackage(setup), seconds};
}

// The size of the archive made by tar with options, and its wall time.
std::pair<int64_t, double> TarSize(const std::string& name, const std::string& options) {
    const std::string archive = Dir() + "/" + name;
    const std::string command =
        "tar " + options + " -cf '" + archive + "' -C '" + Dir() + "/tree' . 2>/dev/null";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return {-1, 0};
    return {static_cast<int64_t>(fs::file_size(archive)), Seconds(start)};
}

void BM_SetupSizeVsTar(benchmark::State& state) {
    const auto files = RealFiles(kMaxFiles, kMaxBytes, 16 << 20);
    fs::create_directories(Dir() + "/tree");
    int64_t input = 0;
    for (const auto& [name, path] : files) {
        fs::copy_file(path, Dir() + "/tree/" + name, fs::copy_options::overwrite_existing);
        input += static_cast<int64_t>(fs::file_size(path));
    }
    for (auto _ : state) {
        const auto zstd = PackageSize(files, EntryCodec::Zstd);
        const auto huffman = PackageSize(files, EntryCodec::Huffman);
        const auto tarZstd = TarSize("t.tar.zst", "-I 'zstd -19 -T1'");
        const auto tarXz = TarSize("t.tar.xz", "-J");
        const auto tarGz = TarSize("t.tar.gz", "-z");
        if (zstd.first < 0 || huffman.first < 0 || tarZstd.first < 0 || tarXz.first < 0 ||
            tarGz.first < 0) {
            state.SkipWithError("a setup or an archive could not be made");
            break;
        }
        const auto ratio = [](int64_t a, int64_t b) { return static_cast<double>(a) / b; };
        state.counters["files"] = static_cast<double>(files.size());
        state.counters["input_MB"] = input / 1e6;
        state.counters["zstd_per_tar_zstd19"] = ratio(zstd.first, tarZstd.first);
        state.counters["zstd_per_tar_xz"] = ratio(zstd.first, tarXz.first);
        state.counters["zstd_per_tar_gz"] = ratio(zstd.first, tarGz.first);
        state.counters["huffman_per_tar_gz"] = ratio(huffman.first, tarGz.first);
        state.counters["zstd_of_input"] = ratio(zstd.first, input);
        state.counters["build_zstd_s"] = zstd.second;
        state.counters["build_huffman_s"] = huffman.second;
        state.counters["tar_zstd19_s"] = tarZstd.second;
        state.SetIterationTime(zstd.second);
    }
    fs::remove_all(Dir());
}

} // namespace

BENCHMARK(BM_SetupSizeVsTar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
