// The engine in-process: an installation that replaces, deletes, links and
// upgrades is undone to the very inodes when it is cancelled at any point or
// when its process dies there (the next start's recovery), and a damaged
// setup fails and undoes. Folders are temporary; nothing runs as root.
#include "install/InstallEngine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "InstallMachine.h"
#include "install/Uninstall.h"

namespace {

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
    EXPECT_EQ(manifest->Files.size(), 7u); // four copies, hard.txt, two launchers

    lock.reset();
    const UninstallResult removed = Uninstall(m / "root/inst", false, m.Folders(), {});
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
                const Recovery recovery = RecoverInstallation(*lock, m / "root/inst", m.Folders());
                EXPECT_TRUE(recovery.Found);
                EXPECT_FALSE(recovery.Result.Committed);
                EXPECT_TRUE(recovery.Result.Problems.empty());
            }
            EXPECT_EQ(SnapshotDifference(before, m.Tree()), "")
                << "stopped at " << stopAt << (die ? " by a kill" : " by a cancel");
        }
    }
}

// b.txt holds 3 bytes: a record that claims more fails at the end, one that
// claims fewer as soon as the contents pass it, before they fill a disk.
TEST(InstallEngine, ADamagedEntryFailsAndIsUndone) {
    const struct {
        uint32_t claimed;
        const char* reason;
    } cases[] = {{7, "the setup is damaged: b.txt unpacks to 3 bytes, not 7"},
                 {2, "the setup is damaged: b.txt unpacks to more than 2 bytes"}};
    for (const auto& c : cases) {
        Machine m(c.claimed);
        const TreeSnapshot before = m.Tree();
        const InstallPlan plan = m.Plan();
        StopAt never(1 << 30, false);
        std::optional<InstallLock> lock;
        const InstallResult r = RunInstallation(m.Setup(), plan, never, lock);
        EXPECT_EQ(r.Outcome, InstallOutcome::FailedUndone);
        ASSERT_TRUE(r.Failure);
        EXPECT_EQ(r.Failure->Reason(), c.reason);
        EXPECT_EQ(r.Failure->Path(), m / "root/inst/sub/deep/b.txt");
        EXPECT_EQ(SnapshotDifference(before, m.Tree()), "");
    }
}

// Rewritten in place while it installs, after its checksums were checked
// and before the last file is written: what is written is not what was
// checked, so the installation fails and is undone.
TEST(InstallEngine, ASetupChangedWhileInstallingFailsAndIsUndone) {
    Machine m;
    const TreeSnapshot before = m.Tree();
    const InstallPlan plan = m.Plan();
    class Tamper : public InstallProgress {
      public:
        explicit Tamper(std::string setup) : setup_(std::move(setup)) {}
        bool Cancelled() override {
            if (!done_) {
                const int fd = ::open(setup_.c_str(), O_WRONLY);
                done_ = fd >= 0 && ::pwrite(fd, "X", 1, 0) == 1;
                if (fd >= 0) ::close(fd);
            }
            return false;
        }
        bool done_ = false;

      private:
        std::string setup_;
    } tamper(m / "setup.exe");
    std::optional<InstallLock> lock;
    const InstallResult r = RunInstallation(m.Setup(), plan, tamper, lock);
    ASSERT_TRUE(tamper.done_);
    EXPECT_EQ(r.Outcome, InstallOutcome::FailedUndone);
    ASSERT_TRUE(r.Failure);
    EXPECT_EQ(r.Failure->Reason(), "the setup changed while it was being installed");
    EXPECT_EQ(r.Failure->Path(), m / "setup.exe");
    EXPECT_EQ(SnapshotDifference(before, m.Tree()), "");
}

// A file or a folder that appears at a target after planning: a file is
// set aside (gone once the installation commits, back when it is undone),
// a folder refuses the installation, which is undone around it.
TEST(InstallEngine, WhatAppearsAtATargetAfterPlanningIsSetAsideOrRefused) {
    const struct {
        bool folder;
        bool cancel;
        InstallOutcome outcome;
        const char* left; // d.sh's contents after, or the file inside the folder
    } cases[] = {{false, false, InstallOutcome::Installed, "#!/bin/sh\n"},
                 {false, true, InstallOutcome::Cancelled, "mine"},
                 {true, false, InstallOutcome::FailedUndone, "inside"}};
    for (const auto& c : cases) {
        Machine m;
        const InstallPlan plan = m.Plan();
        if (c.folder) {
            std::filesystem::create_directory(m / "root/inst/d.sh");
            WriteFile(m / "root/inst/d.sh/x", "inside");
        } else {
            WriteFile(m / "root/inst/d.sh", "mine");
        }
        const TreeSnapshot before = m.Tree();
        int calls = 0;
        {
            StopAt count(1 << 30, false);
            Machine other;
            std::optional<InstallLock> lock;
            RunInstallation(other.Setup(), other.Plan(), count, lock);
            calls = count.Calls();
        }
        // Cancelled at the last question: after every file is in place.
        StopAt stop(c.cancel ? calls : 1 << 30, false);
        std::optional<InstallLock> lock;
        const InstallResult r = RunInstallation(m.Setup(), plan, stop, lock);
        EXPECT_EQ(r.Outcome, c.outcome) << c.folder << c.cancel;
        EXPECT_EQ(ReadFile(m / (c.folder ? "root/inst/d.sh/x" : "root/inst/d.sh")), c.left);
        if (c.folder) {
            ASSERT_TRUE(r.Failure);
            EXPECT_EQ(r.Failure->Reason(), "is a folder");
            EXPECT_EQ(r.Failure->Path(), m / "root/inst/d.sh");
        }
        if (c.outcome != InstallOutcome::Installed) {
            EXPECT_EQ(SnapshotDifference(before, m.Tree()), "");
        }
        for (const auto& [path, what] : m.Tree())
            for (const char* left : {".kavelo-part", ".kavelo-keep", ".kavelo-journal"})
                EXPECT_EQ(path.find(left), std::string::npos) << path;
    }
}

TEST(InstallEngine, AJournalNotTheUsersOwnIsNotActedOn) {
    Machine m;
    WriteFile(m / "root/inst/.kavelo-journal",
              "kavelo-journal\t1\nroot\t0\t/\nnew\t0\tetc/x\t1\t2\n");
    std::filesystem::permissions(m / "root/inst/.kavelo-journal", std::filesystem::perms(0666));
    auto lock = InstallLock::Take(m / "root/inst");
    ASSERT_TRUE(lock);
    try {
        RecoverInstallation(*lock, m / "root/inst", m.Folders());
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
