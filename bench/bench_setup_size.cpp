// The size of a setup's package of real files from the machine (Qt's plugins
// and libraries, documentation, icons) with each codec, against tar archives
// of the same files: tar --zstd at level 19, tar -cJf (xz) and tar -czf. The
// files are copied under the names the setup gives them, so every archive
// holds the same bytes; the ratios are package bytes over archive bytes, one
// run, plus the wall time of each build. Then 96 MB of them as one folder
// added as a tree, against tar --zstd at level 19 and tar -cJf.
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
#include "BenchRun.h"
#include "common/Host.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "project/SaveSetup.h"
#include "project/TreeIntake.h"
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

// Copies files into Dir()/folder under their names; their total size.
int64_t CopyInto(const std::map<std::string, fs::path>& files, const std::string& folder) {
    fs::create_directories(Dir() + "/" + folder);
    int64_t total = 0;
    for (const auto& [name, path] : files) {
        fs::copy_file(path, Dir() + "/" + folder + "/" + name,
                      fs::copy_options::overwrite_existing);
        total += static_cast<int64_t>(fs::file_size(path));
    }
    return total;
}

// Saves session's project with a stand-in runtime: the package's bytes (the
// runtime left out) and the wall time of the save.
std::pair<int64_t, double> SavedPackageSize(Module1& session) {
    session.Saving.ProgramPath = Dir() + "/kavelomaker";
    session.Saving.BuiltInRuntime = "RUNTIME";
    const auto start = std::chrono::steady_clock::now();
    if (!session.SaveSetup()) return {-1, 0};
    const double seconds = Seconds(start);
    const BinaryFile setup = BinaryFile::OpenRead(session.Project.ProjectPath);
    return {setup.Length() - FindPackage(setup), seconds};
}

// The package's bytes of a setup of files with codec,
// and the wall time of the save.
std::pair<int64_t, double> PackageSize(const std::map<std::string, fs::path>& files,
                                       EntryCodec codec) {
    static QuietHost host;
    Module1 session(host);
    session.Saving.ProgramPath = Dir() + "/kavelomaker";
    session.Saving.BuiltInRuntime = "RUNTIME";
    session.NewProject(false);
    session.Project.Codec = codec;
    for (const auto& [name, path] : files)
        session.Project.AddFile({name, ReadWholeFile(path.string())});
    session.Project.ProjectPath = Dir() + "/" + std::string(CodecName(codec)) + ".exe";
    return SavedPackageSize(session);
}

// The size of the archive of folder made by tar with options, and its wall
// time.
std::pair<int64_t, double> TarSize(const std::string& name, const std::string& options,
                                   const std::string& folder = "tree") {
    const std::string archive = Dir() + "/" + name;
    const std::string command =
        "tar " + options + " -cf '" + archive + "' -C '" + Dir() + "/" + folder + "' . 2>/dev/null";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return {-1, 0};
    return {static_cast<int64_t>(fs::file_size(archive)), Seconds(start)};
}

double Ratio(int64_t a, int64_t b) {
    return static_cast<double>(a) / static_cast<double>(b);
}

// A package of bytes against the tar archives of the same files.
void PutRatios(benchmark::State& state, const std::string& what, int64_t bytes, int64_t tarZstd,
               int64_t tarXz, int64_t input, size_t files) {
    state.counters["files"] = static_cast<double>(files);
    state.counters["input_MB"] = static_cast<double>(input) / 1e6;
    state.counters[what + "_per_tar_zstd19"] = Ratio(bytes, tarZstd);
    state.counters[what + "_per_tar_xz"] = Ratio(bytes, tarXz);
    state.counters[what + "_of_input"] = Ratio(bytes, input);
}

void BM_SetupSizeVsTar(benchmark::State& state) {
    const auto files = RealFiles(kMaxFiles, kMaxBytes, 16 << 20);
    const int64_t input = CopyInto(files, "tree");
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
        PutRatios(state, "zstd", zstd.first, tarZstd.first, tarXz.first, input, files.size());
        state.counters["zstd_per_tar_gz"] = Ratio(zstd.first, tarGz.first);
        state.counters["huffman_per_tar_gz"] = Ratio(huffman.first, tarGz.first);
        state.counters["build_zstd_s"] = zstd.second;
        state.counters["build_huffman_s"] = huffman.second;
        state.counters["tar_zstd19_s"] = tarZstd.second;
        state.SetIterationTime(zstd.second);
    }
}

// The package's bytes of a setup holding folder as one tree, one zstd frame
// as tar's is one stream, and the wall time of the save.
std::pair<int64_t, double> TreePackageSize(const std::string& folder) {
    static QuietHost host;
    Module1 session(host);
    session.NewProject(false);
    session.Project.Codec = EntryCodec::Zstd;
    if (!DropFolders(session.Project, {folder}).Problems.empty()) return {-1, 0};
    session.Project.ProjectPath = Dir() + "/tree.exe";
    return SavedPackageSize(session);
}

// 96 MB of the machine's files as one folder: a tree against tar's solid
// streams.
void BM_TreeSizeVsTar(benchmark::State& state) {
    const auto files = RealFiles(kMaxTreeEntries / 2, kMaxBytes, 16 << 20);
    const int64_t input = CopyInto(files, "app");
    for (auto _ : state) {
        const auto tree = TreePackageSize(Dir() + "/app");
        const auto tarZstd = TarSize("a.tar.zst", "-I 'zstd -19 -T1'", "app");
        const auto tarXz = TarSize("a.tar.xz", "-J", "app");
        if (tree.first < 0 || tarZstd.first < 0 || tarXz.first < 0) {
            state.SkipWithError("a setup or an archive could not be made");
            break;
        }
        PutRatios(state, "tree", tree.first, tarZstd.first, tarXz.first, input, files.size());
        state.counters["build_tree_s"] = tree.second;
        state.counters["tar_zstd19_s"] = tarZstd.second;
        state.SetIterationTime(tree.second);
    }
    fs::remove_all(Dir() + "/app");
}

} // namespace

BENCHMARK(BM_TreeSizeVsTar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SetupSizeVsTar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    return RunBenchmarksThenRemove(argc, argv, Dir());
}
