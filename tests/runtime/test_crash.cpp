// The crash campaign: a small install, a fresh install (which makes its
// installation folder and two folders above it, so that the start of its
// journal is killed too), an upgrade and an uninstall, each killed (SIGKILL)
// before every call that changes the disk, one run per call, then resumed as
// a person would (the next start of a setup, or uninstall run again). The
// machine must then be exactly as before, down to the inodes, or exactly as
// after a run that was never interrupted. SyscallStop.h counts the calls and
// kills. make torture runs the full campaign: bigger setups, and an injected
// error (ENOSPC, EIO) at every call besides the kill.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "InstallSandbox.h"
#include "SyscallStop.h"

#if defined(__x86_64__)

namespace {

const std::string kKavelo = KAVELO_PATH;

// A tree with the inodes of its files and the manifest's time left out: what
// a run that was never interrupted leaves has the same names, modes, owners
// and contents, but new files of its own, made at another time.
TreeSnapshot WithoutInodes(TreeSnapshot tree) {
    static const std::regex inode(" inode [0-9]+ "), installed("\ninstalled\t[^\n]*\n");
    for (auto& [path, what] : tree)
        what = std::regex_replace(std::regex_replace(what, inode, " "), installed, "\n");
    return tree;
}

struct Tally {
    int tried = 0, survived = 0, lost = 0;
    std::string losses;
};

// One phase: how to reach its start, the run itself, and what resumes it.
struct Phase {
    std::string name;
    std::function<void()> reset;
    std::vector<std::string> command;
    std::function<void()> resume;
};

class Campaign {
  public:
    explicit Campaign(Sandbox& box) : box_(box) {}

    // Kills (failErrno 0) or fails with failErrno the phase's call k, for
    // every k the phase makes.
    Tally Run(const Phase& phase, int failErrno) {
        phase.reset();
        const StoppedRun clean = RunStopping(box_.Words(phase.command), box_ / "src/out", 0, 0);
        EXPECT_EQ(clean.status, 0) << phase.name << ": " << ReadFile(box_ / "src/out");
        const TreeSnapshot after = WithoutInodes(box_.Tree());
        const long calls = clean.calls;
        EXPECT_GT(calls, 5) << phase.name;
        Tally tally;
        for (long k = 1; k <= calls; ++k) {
            phase.reset();
            const TreeSnapshot before = box_.Tree();
            const StoppedRun r =
                RunStopping(box_.Words(phase.command), box_ / "src/out", k, failErrno);
            if (failErrno == 0) {
                EXPECT_EQ(r.status, 128 + SIGKILL) << phase.name << " " << k;
            }
            phase.resume();
            const TreeSnapshot now = box_.Tree();
            ++tally.tried;
            if (now == before || WithoutInodes(now) == after) {
                ++tally.survived;
                continue;
            }
            ++tally.lost;
            tally.losses += phase.name + " at call " + std::to_string(k) + ":\n" +
                            SnapshotDifference(after, WithoutInodes(now)) +
                            ReadFile(box_ / "src/out") + "\n";
        }
        return tally;
    }

  private:
    Sandbox& box_;
};

// The machine of the campaign: an installation folder with files of the
// user's, a first setup and its upgrade, and a probe whose start recovers.
struct CampaignMachine {
    Sandbox box;
    std::string first, second, probe;

    explicit CampaignMachine(int extraFiles) {
        std::vector<std::pair<std::string, std::string>> files = {
            {"a.txt", "first a"}, {"b.sh", "#!/bin/sh\necho b\n"}, {"c.txt", "c"}};
        std::vector<std::string> one = {"[Install]", "Del ,1,,notes.txt", "Copy a.txt,1,,a.txt,S 1",
                                        "Copy b.sh,1,sub\\deep,b.sh",
                                        "Copy c.txt,2,kavelo-crash,c.txt"};
        for (int i = 0; i < extraFiles; ++i) {
            const std::string name = "x" + std::to_string(i) + ".txt";
            files.push_back({name, std::string(static_cast<size_t>(3000 * (i + 1)), 'x')});
            one.push_back("Copy " + name + ",1,data\\" + std::to_string(i % 3) + "," + name);
        }
        first = box.MakeSetup(kKavelo, "first", files, CrLf(one), CrLf({"Start A"}));
        files[0].second = "second a";
        std::vector<std::string> two = {"[Install]", "Copy a.txt,1,,a.txt,S 1",
                                        "Copy c.txt,1,new,c.txt"};
        for (int i = 0; i < extraFiles; i += 2)
            two.push_back("Copy x" + std::to_string(i) + ".txt,1,data2,x" + std::to_string(i) +
                          ".txt");
        second = box.MakeSetup(kKavelo, "second", files, CrLf(two), CrLf({"Start A"}));
        probe = box.MakeSetup(
            kKavelo, "probe", {{"a.txt", "p"}},
            CrLf({"[Create]", "Check 2", "[Install]", "{val(1)=1}", "Copy a.txt,1,,p.txt"}),
            CrLf({"Probe"}));
    }

    void Fresh() {
        for (const char* gone : {"inst", "new", "home/.local", "home/Desktop"})
            std::filesystem::remove_all(box / gone);
        std::filesystem::create_directories(box / "inst");
        std::filesystem::create_directories(box / "home/Desktop");
        WriteFile(box / "inst/notes.txt", "the user's notes");
        WriteFile(box / "inst/a.txt", "the user's a");
        box.HandOver();
    }

    void Installed(const std::string& setup) {
        const RunResult r = box.Run({setup, "--unattended", "--dir", box / "inst"});
        EXPECT_EQ(r.status, 0) << r.out;
    }

    // A new start recovers what an interrupted run left.
    void NextStart(const std::string& folder = "inst") {
        const RunResult r =
            box.Run({probe, "--unattended", "--dir", box / folder, "--select", "1=0"});
        EXPECT_TRUE(Contains(r.out, "nothing to install for this selection")) << r.out;
    }

    void UninstallAgain() {
        if (std::filesystem::exists(box / "inst/uninstall"))
            box.Run({box / "inst/uninstall", "--yes"});
    }

    std::vector<Phase> Phases() {
        const std::vector<std::string> dir = {"--unattended", "--dir", box / "inst"};
        std::vector<std::string> install = {first}, upgrade = {second};
        install.insert(install.end(), dir.begin(), dir.end());
        upgrade.insert(upgrade.end(), dir.begin(), dir.end());
        std::vector<std::string> fresh = {first, "--unattended", "--dir", box / "new/deep/inst"};
        return {{"install", [this] { Fresh(); }, install, [this] { NextStart(); }},
                {"fresh", [this] { Fresh(); }, fresh, [this] { NextStart("new/deep/inst"); }},
                {"upgrade",
                 [this] {
                     Fresh();
                     Installed(first);
                 },
                 upgrade, [this] { NextStart(); }},
                {"uninstall",
                 [this] {
                     Fresh();
                     Installed(first);
                     Installed(second);
                 },
                 {box / "inst/uninstall", "--yes"},
                 [this] { UninstallAgain(); }}};
    }
};

TEST(CrashCampaign, AKillBeforeEveryCallIsUndoneOrCompleted) {
    CampaignMachine m(0);
    Campaign campaign(m.box);
    for (const Phase& phase : m.Phases()) {
        const Tally t = campaign.Run(phase, 0);
        EXPECT_EQ(t.lost, 0) << t.losses;
        EXPECT_EQ(t.tried, t.survived);
    }
}

// A fresh install, whose folders and journal's first line come first,
// failed at any call (the kill is in the campaign above): undone at once.
TEST(CrashCampaign, AFreshInstallFailedAtAnyCallIsUndone) {
    CampaignMachine m(0);
    const Tally t = Campaign(m.box).Run(m.Phases()[1], EIO);
    EXPECT_EQ(t.lost, 0) << t.losses;
}

// make torture: the full campaign, with its figures.
TEST(CrashCampaign, DISABLED_Torture) {
    CampaignMachine m(12);
    Campaign campaign(m.box);
    for (const Phase& phase : m.Phases()) {
        for (const int failErrno : {0, ENOSPC, EIO}) {
            const Tally t = campaign.Run(phase, failErrno);
            std::printf("%-9s %-8s tried %4d  survived %4d  lost %d\n", phase.name.c_str(),
                        failErrno == 0        ? "kill -9"
                        : failErrno == ENOSPC ? "ENOSPC"
                                              : "EIO",
                        t.tried, t.survived, t.lost);
            EXPECT_EQ(t.lost, 0) << t.losses;
        }
    }
}

} // namespace

#endif
