// Undo through the real runtime: a copy that fails in the middle of an
// upgrade (a size limit on files, a file another user owns in a shared
// folder) leaves the machine byte for byte as before, and so does kill -9 at
// points of a 50 MB installation once a new start has undone it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/syscall.h>

#include <cstring>
#include <random>

#include "InstallSandbox.h"
#include "ProcessRun.h"
#include "common/FileDescriptor.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// An earlier installation to upgrade, then a setup whose last copy is big.
struct UpgradeMachine {
    Sandbox box;
    std::string upgrade;

    explicit UpgradeMachine(const std::string& extraLine = "") {
        const std::string first = box.MakeSetup(
            kKavelo, "first", {{"a.txt", "first a"}, {"b.txt", "first b"}},
            CrLf({"[Install]", "Copy a.txt,1,,a.txt,S 1,,1", "Copy b.txt,1,old,b.txt"}),
            CrLf({"Start A"}));
        std::vector<std::string> script = {"[Install]", "Del ,1,,notes.txt",
                                           "Copy a.txt,1,,a.txt,S 1,,2", "Copy c.txt,2,lib-x,c.txt",
                                           "Copy c.txt,1,new\\deeper,c.txt"};
        if (!extraLine.empty()) script.push_back(extraLine);
        script.push_back("Copy big.bin,1,,big.bin");
        upgrade = box.MakeSetup(
            kKavelo, "upgrade",
            {{"a.txt", "second a"}, {"c.txt", "c"}, {"big.bin", RandomBytes(2u << 20, 3)}},
            CrLf(script), CrLf({"Start A"}));
        std::filesystem::create_directories(box / "inst");
        WriteFile(box / "inst/notes.txt", "the user's notes");
        box.HandOver();
        const RunResult r = box.Run({first, "--unattended", "--dir", box / "inst", "--no-launch"});
        EXPECT_EQ(r.status, 0) << r.out;
    }
};

TEST(RuntimeUndo, AFailingCopyInTheMiddleLeavesTheMachineAsBefore) {
    const struct {
        std::string name;
        bool needsRoot;
    } cases[] = {{"file size limit", false},
                 {"a shared folder's file owned by another user", true}};
    for (const auto& c : cases) {
        const bool sticky = c.needsRoot;
        if (sticky && ::geteuid() != 0) continue; // needs a second user to own the file
        UpgradeMachine m(sticky ? "Copy c.txt,1,shared,x.txt" : "");
        if (sticky) {
            // A folder everyone may write, as /tmp, holding root's file: the
            // installing user may write there but not set root's file aside.
            std::filesystem::create_directories(m.box / "inst/shared");
            ::chmod((m.box / "inst/shared").c_str(), 01777);
            WriteFile(m.box / "inst/shared/x.txt", "root's");
        }
        const TreeSnapshot before = m.box.Tree();
        std::vector<std::string> command = {m.upgrade, "--unattended", "--dir", m.box / "inst",
                                            "--no-launch"};
        if (!sticky) command.insert(command.begin(), {"prlimit", "--fsize=1000000"});
        const RunResult r = m.box.Run(command);
        EXPECT_EQ(r.status, 1) << c.name << "\n" << r.out;
        EXPECT_TRUE(Contains(r.out, sticky ? "cannot be set aside: Operation not permitted"
                                           : "big.bin: File too large"))
            << r.out;
        EXPECT_TRUE(Contains(r.out, "Everything it had done was undone."));
        EXPECT_EQ(SnapshotDifference(before, m.box.Tree()), "") << c.name;
    }
}

// Starts the runtime as the installing user and returns its process.
pid_t Start(const Sandbox& box, const std::vector<std::string>& command) {
    std::vector<std::string> words = box.Words(command);
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ExecInChild(words);
    }
    return child;
}

size_t LineCount(const std::string& path) {
    const std::string text = ReadFile(path);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Waits until the journal holds lines lines or child ends (then reaped, its
// status in status): woken by every change in the journal's folder
// (inotify) and by the child's end (its pidfd), never by a clock. True when
// the child ended first.
bool WaitForJournal(const std::string& journal, size_t lines, pid_t child, int& status) {
    const std::string folder = std::filesystem::path(journal).parent_path();
    const FileDescriptor changes(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    const FileDescriptor ended(static_cast<int>(syscall(SYS_pidfd_open, child, 0)));
    EXPECT_TRUE(changes.IsOpen() && ended.IsOpen()) << std::strerror(errno);
    EXPECT_GE(inotify_add_watch(changes.Get(), folder.c_str(),
                                IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE),
              0);
    for (;;) {
        if (LineCount(journal) >= lines) return false;
        pollfd fds[2] = {{changes.Get(), POLLIN, 0}, {ended.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents != 0) {
            waitpid(child, &status, 0);
            return true;
        }
        char events[4096];
        while (::read(changes.Get(), events, sizeof events) > 0) {
        }
    }
}

// kill -9 once the journal holds a given number of lines, then a new start
// (with nothing selected, so that it only undoes): the machine is as before.
// Should the installation reach its end first, it must be whole instead.
TEST(RuntimeUndo, KillNineDuringA50MbInstallationIsUndoneByTheNextStart) {
    Sandbox box;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> script = {"[Create]", "Check 2", "[Install]", "{val(1)=1}"};
    for (int i = 0; i < 50; ++i) {
        files.push_back({"f" + std::to_string(i) + ".bin", RandomBytes(1u << 20, 100 + i)});
        script.push_back("Copy f" + std::to_string(i) + ".bin,1,data,f" + std::to_string(i) +
                         ".bin");
    }
    const std::string setup = box.MakeSetup(kKavelo, "big", files, CrLf(script), CrLf({"All"}));
    std::filesystem::create_directories(box / "inst/data");
    WriteFile(box / "inst/keep.txt", "kept");
    WriteFile(box / "outside/f3.bin", "outside, hard-linked");
    std::filesystem::create_hard_link(box / "outside/f3.bin", box / "inst/data/f3.bin");
    box.HandOver();
    TreeSnapshot before = box.Tree();
    const std::string journal = box / "inst/.kavelo-journal";
    int killed = 0;
    for (size_t killAt : {3u, 40u, 95u}) {
        const pid_t child =
            Start(box, {setup, "--unattended", "--dir", box / "inst", "--no-launch"});
        int status = 0;
        const bool ended = WaitForJournal(journal, killAt, child, status);
        if (!ended) {
            ::kill(child, SIGKILL);
            waitpid(child, &status, 0);
            killed += WIFSIGNALED(status);
        }
        const RunResult again =
            box.Run({setup, "--unattended", "--dir", box / "inst", "--select", "1=0"});
        EXPECT_EQ(again.status, 1) << again.out;
        EXPECT_TRUE(Contains(again.out, "nothing to install for this selection")) << again.out;
        if (Contains(again.out, "was interrupted; everything it had done was undone")) {
            EXPECT_EQ(SnapshotDifference(before, box.Tree()), "") << "killed at " << killAt;
        } else {
            // It had completed: whole, and taken out again for the next round.
            EXPECT_EQ(ReadFile(box / "inst/data/f49.bin"), files[49].second);
            EXPECT_EQ(box.Run({box / "inst/uninstall", "--yes"}).status, 0);
            std::filesystem::create_directories(box / "inst/data");
            std::filesystem::remove(box / "outside/f3.bin");
            WriteFile(box / "outside/f3.bin", "outside, hard-linked");
            std::filesystem::create_hard_link(box / "outside/f3.bin", box / "inst/data/f3.bin");
            box.HandOver();
            before = box.Tree();
        }
        EXPECT_EQ(ReadFile(box / "outside/f3.bin"), "outside, hard-linked");
    }
    EXPECT_GT(killed, 0) << "every installation ended before its kill point";

    // Ctrl-C (SIGINT) in the middle: the installation undoes itself and says so.
    const pid_t child = Start(box, {setup, "--unattended", "--dir", box / "inst", "--no-launch"});
    int status = 0;
    const bool ended = WaitForJournal(journal, 50, child, status);
    if (!ended) {
        ::kill(child, SIGINT);
        waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 4);
        EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");
    }

    const RunResult whole = box.Run({setup, "--unattended", "--dir", box / "inst", "--no-launch"});
    EXPECT_EQ(whole.status, 0) << whole.out;
    EXPECT_EQ(ReadFile(box / "inst/data/f49.bin"), files[49].second);
}

} // namespace
