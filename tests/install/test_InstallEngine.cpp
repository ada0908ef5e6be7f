// The engine in-process: an installation that replaces, deletes, links and
// upgrades is undone to the very inodes when it is cancelled at any point or
// when its process dies there (the next start's recovery), and a damaged
// setup fails and undoes. Folders are temporary; nothing runs as root.
#include "install/InstallEngine.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "PackageBuilder.h"
#include "TestHost.h"
#include "TreeSnapshot.h"
#include "huffman/Huffman.h"
#include "common/Sha256.h"
#include "install/Uninstall.h"

namespace {

const char* const kScript = "[Install]\r\n"
                            "Del ,1,,old.log\r\n"
                            "Copy a.bin,1,,a.bin\r\n"
                            "Copy b.txt,1,sub\\deep,b.txt\r\n"
                            "Copy c.txt,2,kt,c.txt\r\n"
                            "Copy b.txt,1,,hard.txt\r\n"
                            "Copy d.sh,1,,d.sh,S 1\r\n";

// A temporary machine: an installation folder with an earlier installation
// in it, files outside that must never change, and the setup to install.
class Machine {
  public:
    explicit Machine(uint32_t bSize = 5) {
        std::mt19937 rng(9);
        std::string a(3u << 20, '\0');
        for (char& c : a)
            c = static_cast<char>(rng() % 7 == 0 ? rng() : 'a' + rng() % 4);
        const std::string stream = CompressHuffman(a);
        std::vector<RawEntry> entries = {
            {"setup\\picture.bmp", "BM"},
            {"setup\\script.txt", kScript},
            {"setup\\setup.txt", "Cap\r\n\r\n\r\nAcme\\Tool\r\nAcme\r\n\r\nGo"},
            {"setup\\strings.txt", "Start D\r\n"},
            {"a.bin", stream, 1, static_cast<int64_t>(a.size())},
            {"b.txt", "bee", 0, bSize == 5 ? 3 : bSize},
            {"c.txt", "sea"},
            {"d.sh", "#!/bin/sh\n"}};
        WriteFile(dir_ / "setup.exe", BuildSetup("RUNTIME", entries));
        for (const char* folder : {"root/inst", "root/outside", "root/share", "root/desktop"})
            std::filesystem::create_directories(dir_ / folder);
        WriteFile(dir_ / "root/inst/old.log", "log");
        WriteFile(dir_ / "root/inst/a.bin", "old a");
        WriteFile(dir_ / "root/inst/gone.txt", "gone");
        WriteFile(dir_ / "root/outside/victim.txt", "victim");
        std::filesystem::create_hard_link(dir_ / "root/outside/victim.txt",
                                          dir_ / "root/inst/hard.txt");
        Manifest earlier;
        earlier.Roots.Add(dir_ / "root/inst");
        earlier.Files.push_back({{0, "gone.txt"}, 4, Sha256Hex("gone"), "", false});
        WriteFile(dir_ / "root/inst/.kavelo-manifest", ManifestText(earlier));
        std::filesystem::permissions(dir_ / "root/inst/.kavelo-manifest",
                                     std::filesystem::perms(0644));
    }

    const SetupPackage& Setup() {
        if (!setup_) setup_ = OpenSetupPackage(dir_ / "setup.exe");
        return *setup_;
    }

    InstallPlan Plan() {
        PlanRequest request;
        request.Setup = &Setup();
        request.Folders = {dir_ / "root/inst",
                           dir_ / "root/lib",
                           dir_ / "root/share",
                           dir_ / "root/share/applications",
                           "",
                           dir_ / "root/desktop",
                           dir_ / "root/bin"};
        return PlanInstallation(request);
    }

    TreeSnapshot Tree() const { return Snapshot(dir_ / "root"); }
    std::string operator/(const std::string& name) const { return dir_ / name; }

  private:
    TempDir dir_;
    std::optional<SetupPackage> setup_;
};

// Counts its calls; from call stopAt on it asks to stop (or, with die, ends
// the process as a kill would).
class StopAt : public InstallProgress {
  public:
    StopAt(int stopAt, bool die) : stopAt_(stopAt), die_(die) {}
    bool Cancelled() override {
        if (++calls_ < stopAt_) return false;
        if (die_) _exit(9);
        return true;
    }
    int Calls() const { return calls_; }

  private:
    int stopAt_;
    bool die_;
    int calls_ = 0;
};

TEST(InstallEngine, InstallsReplacingSettingAsideAndUpgrading) {
    Machine m;
    const InstallPlan plan = m.Plan();
    StopAt never(1 << 30, false);
    std::optional<InstallLock> lock;
    const InstallResult result = RunInstallation(m.Setup(), plan, never, lock);
    ASSERT_EQ(result.Outcome, InstallOutcome::Installed) << result.Failure->what();
    EXPECT_FALSE(std::filesystem::exists(m / "root/inst/old.log"));
    EXPECT_FALSE(std::filesystem::exists(m / "root/inst/gone.txt")); // no longer installed
    EXPECT_EQ(ReadFile(m / "root/inst/a.bin").size(), 3u << 20);
    EXPECT_EQ(ReadFile(m / "root/inst/sub/deep/b.txt"), "bee");
    EXPECT_EQ(ReadFile(m / "root/lib/kt/c.txt"), "sea");
    EXPECT_EQ(ReadFile(m / "root/inst/hard.txt"), "bee");
    EXPECT_EQ(ReadFile(m / "root/outside/victim.txt"), "victim");
    EXPECT_EQ(ReadFile(m / "root/inst/uninstall"), "RUNTIME");
    EXPECT_NE(ReadFile(m / "root/share/applications/Acme/Start-D.desktop")
                  .find("Exec=" + (m / "root/inst/d.sh")),
              std::string::npos);
    // Only the installation's own files are left: nothing set aside, no journal.
    for (const auto& [path, what] : m.Tree())
        EXPECT_EQ(path.find(".kavelo-keep"), std::string::npos) << path;
    EXPECT_FALSE(std::filesystem::exists(m / "root/inst/.kavelo-journal"));
    const auto manifest = ReadPreviousManifest(m / "root/inst");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->Files.size(), 6u); // four copies, hard.txt, the launcher

    lock.reset();
    const UninstallResult removed = Uninstall(m / "root/inst", false);
    EXPECT_TRUE(removed.Problems.empty());
    EXPECT_FALSE(std::filesystem::exists(m / "root/lib")); // made by the installation
    EXPECT_FALSE(std::filesystem::exists(m / "root/inst/sub"));
    EXPECT_TRUE(std::filesystem::exists(m / "root/inst")); // was there before
    EXPECT_FALSE(std::filesystem::exists(m / "root/share/applications"));
}

// Cancelled at each point the engine asks, or killed there and recovered by
// the next start: the tree is as before, down to the inodes.
TEST(InstallEngine, CancelOrKillAtAnyPointLeavesTheTreeAsBefore) {
    int total = 0;
    {
        Machine m;
        const InstallPlan plan = m.Plan();
        StopAt never(1 << 30, false);
        std::optional<InstallLock> lock;
        RunInstallation(m.Setup(), plan, never, lock);
        total = never.Calls();
    }
    ASSERT_GT(total, 8);
    for (int stopAt : {1, 2, 3, total / 2, total - 1, total}) {
        for (bool die : {false, true}) {
            Machine m;
            const TreeSnapshot before = m.Tree();
            const InstallPlan plan = m.Plan();
            StopAt stop(stopAt, die);
            if (!die) {
                std::optional<InstallLock> lock;
                const InstallResult r = RunInstallation(m.Setup(), plan, stop, lock);
                EXPECT_EQ(r.Outcome, InstallOutcome::Cancelled) << stopAt;
            } else {
                const pid_t child = fork();
                if (child == 0) {
                    std::optional<InstallLock> lock;
                    RunInstallation(m.Setup(), plan, stop, lock);
                    _exit(0);
                }
                int status = 0;
                waitpid(child, &status, 0);
                ASSERT_EQ(WEXITSTATUS(status), 9) << stopAt;
                auto lock = InstallLock::Take(m / "root/inst");
                ASSERT_TRUE(lock);
                const Recovery recovery = RecoverInstallation(*lock, m / "root/inst");
                EXPECT_TRUE(recovery.Found);
                EXPECT_FALSE(recovery.Result.Committed);
                EXPECT_TRUE(recovery.Result.Problems.empty());
            }
            EXPECT_EQ(SnapshotDifference(before, m.Tree()), "")
                << "stopped at " << stopAt << (die ? " by a kill" : " by a cancel");
        }
    }
}

TEST(InstallEngine, ADamagedEntryFailsAndIsUndone) {
    Machine m(7); // b.txt claims 7 bytes and holds 3
    const TreeSnapshot before = m.Tree();
    const InstallPlan plan = m.Plan();
    StopAt never(1 << 30, false);
    std::optional<InstallLock> lock;
    const InstallResult r = RunInstallation(m.Setup(), plan, never, lock);
    EXPECT_EQ(r.Outcome, InstallOutcome::FailedUndone);
    ASSERT_TRUE(r.Failure);
    EXPECT_EQ(r.Failure->Reason(), "the setup is damaged: b.txt unpacks to 3 bytes, not 7");
    EXPECT_EQ(r.Failure->Path(), m / "root/inst/sub/deep/b.txt");
    EXPECT_EQ(SnapshotDifference(before, m.Tree()), "");
}

TEST(InstallEngine, AJournalNotTheUsersOwnIsNotActedOn) {
    Machine m;
    WriteFile(m / "root/inst/.kavelo-journal",
              "kavelo-journal\t1\nroot\t0\t/\nnew\t0\tetc/x\t1\t2\n");
    std::filesystem::permissions(m / "root/inst/.kavelo-journal", std::filesystem::perms(0666));
    auto lock = InstallLock::Take(m / "root/inst");
    ASSERT_TRUE(lock);
    try {
        RecoverInstallation(*lock, m / "root/inst");
        ADD_FAILURE() << "a journal others may write was acted on";
    } catch (const Refused& e) {
        EXPECT_EQ(e.Reason(), "not a journal this user's installation wrote; not acted on");
        EXPECT_EQ(e.Path(), m / "root/inst/.kavelo-journal");
    }
    // A second holder of the folder is turned away while the first works.
    try {
        InstallLock::Take(m / "root/inst");
        ADD_FAILURE() << "a second lock was taken";
    } catch (const Refused& e) {
        EXPECT_EQ(e.Reason(), "another installation or uninstallation is working there");
    }
}

} // namespace
