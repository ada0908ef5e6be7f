// Running a peer program (tar, a setup, kavelo) from a bench as a whole
// process with its output thrown away (its wall time and peak memory), and
// the median of the times taken.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

struct RunFigures {
    double Seconds = -1; // wall time; negative when the program failed
    // The child's peak resident memory (ru_maxrss), which counts from the
    // calling process's own at the fork.
    long PeakKb = 0;
    // The processor time of the child and of the children it waited for
    // (tar's zstd among them), user and system, on all cores.
    double CpuSeconds = 0;
};

// Runs words (through the PATH) with HOME set to home and no display: its
// wall time, peak memory and processor time.
inline RunFigures RunMeasured(std::vector<std::string> words, const std::string& home) {
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        setenv("HOME", home.c_str(), 1);
        unsetenv("DISPLAY");
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    RunFigures figures;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) figures.Seconds = seconds;
    figures.PeakKb = usage.ru_maxrss;
    const auto secondsOf = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    figures.CpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    return figures;
}

// RunMeasured's wall time alone.
inline double RunTimed(std::vector<std::string> words, const std::string& home) {
    return RunMeasured(std::move(words), home).Seconds;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// This process's resident memory now, in MB: the floor under a child's
// RunFigures::PeakKb.
inline double ResidentMb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// A fresh folder below the system's temporary folder, named from prefix.
inline std::string BenchTempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// Installing setup into fresh folders (--unattended --dir) against
// tar --zstd -xf of tarball into fresh folders, in turn, from a warm cache,
// and against the same followed by sync -f (tar's files flushed to the disk
// as the installation flushes its own): the wall times, their ratios, the
// processor time of each (both use two cores) and the installation's peak
// memory as the state's counters; the iteration time is the installation's.
// The folders of every round stay until the last: ext4 skips the inodes of
// files deleted in the last minute when it places new ones, slowly, so
// removing the last round's thousands of files just before a run would time
// that instead, for whichever of the two it happened to hit. Each run starts
// with nothing left to write (a sync before it, not timed): the
// installation's flush before its commit would otherwise write the last
// round's unpacked files too, tar's work on the installation's clock.
inline void InstallVsTarZstd(benchmark::State& state, const std::string& setup,
                             const std::string& tarball, const std::string& work,
                             const std::string& home) {
    std::vector<double> install, tar, ratio, peak, installCpu, tarCpu, synced, syncedRatio;
    int round = 0;
    for (auto _ : state) {
        const std::string number = std::to_string(++round);
        const std::string installed = work + "/installed" + number;
        const std::string unpacked = work + "/unpacked" + number;
        const std::string flushed = work + "/flushed" + number;
        std::filesystem::create_directories(unpacked);
        std::filesystem::create_directories(flushed);
        ::sync();
        const RunFigures a =
            RunMeasured({setup, "--unattended", "--dir", installed, "--no-launch"}, home);
        ::sync();
        const RunFigures b = RunMeasured({"tar", "--zstd", "-xf", tarball, "-C", unpacked}, home);
        ::sync();
        // The same with its files flushed to the disk, as the installation's are.
        const RunFigures c =
            RunMeasured({"sh", "-c", "tar --zstd -xf \"$1\" -C \"$2\" && exec sync -f \"$2\"", "sh",
                         tarball, flushed},
                        home);
        if (a.Seconds < 0 || b.Seconds < 0 || c.Seconds < 0)
            return state.SkipWithError("installing or unpacking failed");
        state.SetIterationTime(a.Seconds);
        install.push_back(a.Seconds);
        tar.push_back(b.Seconds);
        ratio.push_back(a.Seconds / b.Seconds);
        installCpu.push_back(a.CpuSeconds);
        tarCpu.push_back(b.CpuSeconds);
        synced.push_back(c.Seconds);
        syncedRatio.push_back(a.Seconds / c.Seconds);
        peak.push_back(static_cast<double>(a.PeakKb) / 1024);
    }
    state.counters["install_s"] = Median(install);
    state.counters["tar_zstd_xf_s"] = Median(tar);
    state.counters["install_per_tar"] = Median(ratio);
    state.counters["install_cpu_s"] = Median(installCpu);
    state.counters["tar_cpu_s"] = Median(tarCpu);
    state.counters["tar_then_sync_s"] = Median(synced);
    state.counters["install_per_tar_then_sync"] = Median(syncedRatio);
    state.counters["install_peak_MB"] = *std::max_element(peak.begin(), peak.end());
    state.counters["bench_rss_MB"] = ResidentMb();
    for (int k = 1; k <= round; ++k) {
        std::filesystem::remove_all(work + "/installed" + std::to_string(k));
        std::filesystem::remove_all(work + "/unpacked" + std::to_string(k));
        std::filesystem::remove_all(work + "/flushed" + std::to_string(k));
    }
}

// Runs the benchmarks the command line selects, then removes folder (the
// bench's own files); the program's exit status. With KAVELO_BENCH_KEEP set
// the folder stays, and its path is printed, so that its setups can be
// profiled by hand.
inline int RunBenchmarksThenRemove(int argc, char** argv, const std::string& folder) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (std::getenv("KAVELO_BENCH_KEEP"))
        std::printf("kept %s\n", folder.c_str());
    else
        std::filesystem::remove_all(folder);
    return 0;
}
