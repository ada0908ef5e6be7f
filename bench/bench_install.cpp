// Installing the 100 MB bench project from its setup (every file decoded,
// hashed, written under a temporary name and renamed, the manifest and the
// uninstall program written), against tar -xzf of a gzip tarball of the same
// files into the same kind of folder. Both run as whole processes, in turn,
// from a warm page cache; the ratio is installing over unpacking.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchProject.h"
#include "BenchRun.h"
#include "common/Host.h"
#include "common/WholeFile.h"
#include "project/SaveSetup.h"
#include "project/Session.h"

namespace {

class QuietHost : public Host {
  public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo-bench-install-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

// The setup of the bench project (one Copy line per file) and the tarball of
// the same files, made once.
bool Prepare() {
    static const bool ready = [] {
        const std::vector<std::string> files = BenchFiles();
        std::filesystem::create_directories(Dir() + "/tree");
        std::filesystem::create_directories(Dir() + "/home");
        static QuietHost host;
        static Module1 session(host);
        session.NewProject(false);
        std::string script = "[Install]\r\n";
        for (int i = 0; i < kBenchFiles; ++i) {
            const std::string name = BenchFileName(i);
            std::ofstream(Dir() + "/tree/" + name, std::ios::binary) << files[i];
            session.Project.AddFile({name, files[i]});
            script += "Copy " + name + ",1,," + name + "\r\n";
        }
        session.Project.ScriptText = script;
        session.Project.ProjectPath = Dir() + "/bench.exe";
        session.Saving.ProgramPath = Dir() + "/kavelomaker";
        session.Saving.BuiltInRuntime = ReadWholeFile(RUNTIME_PATH);
        if (!session.SaveSetup()) return false;
        chmod((Dir() + "/bench.exe").c_str(), 0755);
        return RunTimed({"tar", "-czf", Dir() + "/bench.tar.gz", "-C", Dir() + "/tree", "."},
                        Dir() + "/home") >= 0;
    }();
    return ready;
}

void BM_InstallVsTarXzf(benchmark::State& state) {
    if (!Prepare()) {
        state.SkipWithError("could not make the setup or the tarball");
        return;
    }
    const std::string installed = Dir() + "/installed";
    const std::string unpacked = Dir() + "/unpacked";
    std::vector<double> install, tar, ratio;
    for (auto _ : state) {
        std::filesystem::remove_all(installed);
        std::filesystem::remove_all(unpacked);
        std::filesystem::create_directories(unpacked);
        const double a =
            RunTimed({Dir() + "/bench.exe", "--unattended", "--dir", installed, "--no-launch"},
                     Dir() + "/home");
        const double b =
            RunTimed({"tar", "-xzf", Dir() + "/bench.tar.gz", "-C", unpacked}, Dir() + "/home");
        if (a < 0 || b < 0) {
            state.SkipWithError("installing or unpacking failed");
            return;
        }
        state.SetIterationTime(a);
        install.push_back(a);
        tar.push_back(b);
        ratio.push_back(a / b);
    }
    state.counters["install_s"] = Median(install);
    state.counters["tar_xzf_s"] = Median(tar);
    state.counters["install_per_tar"] = Median(ratio);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBenchTotal));
    std::filesystem::remove_all(Dir()); // some 250 MB
}

} // namespace

BENCHMARK(BM_InstallVsTarXzf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

BENCHMARK_MAIN();
