// The terminal wizard driven through a pseudo-terminal with keystrokes: a
// whole installation with a licence, a component change and a typed folder;
// Ctrl-C on the component page; a licence declined.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>

#include "InstallSandbox.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

// The runtime on a pseudo-terminal of 24 rows and 80 columns.
class Terminal {
  public:
    Terminal(const Sandbox& box, const std::vector<std::string>& command) {
        std::vector<std::string> words = box.Words(command);
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        pid_ = forkpty(&fd_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Terminal() {
        if (fd_ >= 0) ::close(fd_);
    }

    // Reads until text has appeared since the last match; false when the
    // program ends (or stays silent for 20 seconds) first.
    bool Expect(const std::string& text) {
        for (;;) {
            const size_t at = out_.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return true;
            }
            if (!ReadSome(20000)) return false;
        }
    }

    void Type(const std::string& keys) {
        ASSERT_EQ(::write(fd_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what is left and returns the exit status; a program still
    // waiting after 20 silent seconds is killed, so that the test fails.
    int Wait() {
        while (ReadSome(20000)) {
        }
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    const std::string& Output() const { return out_; }

  private:
    bool ReadSome(int milliseconds) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, milliseconds) <= 0) return false;
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        out_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string out_;
    size_t seen_ = 0;
};

std::string WizardSetup(const Sandbox& box) {
    return box.MakeSetup(
        kKavelo, "wizard",
        {{"app.sh", "#!/bin/sh\n"}, {"manual.txt", "manual"}, {"licence.txt", "Be nice.\r\n"}},
        CrLf({"[Create]", "Label 1", "  Check 3", "  Check 0", "  Combo 2,2", "[Install]", "{1}",
              "Copy app.sh,1,,app.sh,S 6", "{val(2)=1}", "Copy manual.txt,1,,manual.txt"}),
        CrLf({"Pick:", "Main program", "Manual", "English", "German", "Start it"}),
        {{"license", "licence.txt"}, {"launch-text", "Start it now"}, {"caption", "Wizard setup"}});
}

TEST(TerminalWizard, InstallsWithALicenceAComponentAndATypedFolder) {
    Sandbox box;
    const std::string setup = WizardSetup(box);
    box.HandOver();
    Terminal t(box, {setup});
    ASSERT_TRUE(t.Expect("Wizard setup")) << t.Output();
    ASSERT_TRUE(t.Expect("Press Enter to go on"));
    t.Type("\n");
    ASSERT_TRUE(t.Expect("Be nice."));
    ASSERT_TRUE(t.Expect("Do you accept the licence? [y/N]"));
    t.Type("y\n");
    ASSERT_TRUE(t.Expect("1    [x] Main program")) << t.Output();
    ASSERT_TRUE(t.Expect("2    [ ] Manual"));
    ASSERT_TRUE(t.Expect("3    < German >  (2 choices)"));
    t.Type("2\n");
    ASSERT_TRUE(t.Expect("2    [x] Manual")) << t.Output();
    t.Type("\n");
    ASSERT_TRUE(t.Expect("Press Enter to install there")) << t.Output();
    t.Type(box / "inst" + "\n");
    ASSERT_TRUE(t.Expect(box / "inst"));
    ASSERT_TRUE(t.Expect("Press Enter to install there"));
    t.Type("\n");
    ASSERT_TRUE(t.Expect("2 file(s)")) << t.Output();
    t.Type("\n");
    ASSERT_TRUE(t.Expect("100%")) << t.Output();
    ASSERT_TRUE(t.Expect("To remove it again later, run " + box / "inst/uninstall"));
    ASSERT_TRUE(t.Expect("Start it now? [Y/n]")) << t.Output();
    t.Type("n\n");
    EXPECT_EQ(t.Wait(), 0) << t.Output();
    EXPECT_EQ(ReadFile(box / "inst/manual.txt"), "manual");
    EXPECT_EQ(ModeOf(box / "inst/app.sh"), 0755u);
}

TEST(TerminalWizard, CtrlCAndADeclinedLicenceInstallNothing) {
    const struct {
        std::string answerLicence;
        std::string atComponents;
        int status;
        std::string says;
    } cases[] = {{"y\n", "\x03", 4, "nothing was installed"},
                 {"y\n", "q\n", 4, "nothing was installed"},
                 {"\n", "", 3, "The licence was not accepted"}};
    for (const auto& c : cases) {
        Sandbox box;
        const std::string setup = WizardSetup(box);
        box.HandOver();
        const TreeSnapshot before = box.Tree();
        Terminal t(box, {setup, "--dir", box / "inst"});
        ASSERT_TRUE(t.Expect("Press Enter to go on")) << t.Output();
        t.Type("\n");
        ASSERT_TRUE(t.Expect("[y/N]"));
        t.Type(c.answerLicence);
        if (!c.atComponents.empty()) {
            ASSERT_TRUE(t.Expect("Type a number")) << t.Output();
            t.Type(c.atComponents);
        }
        EXPECT_EQ(t.Wait(), c.status) << t.Output();
        EXPECT_TRUE(Contains(t.Output(), c.says)) << t.Output();
        EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");
    }
}

// With a display the graphical wizard comes first; where it cannot start
// (no display server answers at :77), a terminal still gets the terminal wizard.
TEST(TerminalWizard, RunsInATerminalAlsoWithADisplay) {
    Sandbox box;
    const std::string setup = WizardSetup(box);
    box.HandOver();
    box.SetEnv("DISPLAY=:77");
    Terminal t(box, {setup});
    ASSERT_TRUE(t.Expect("Press Enter to go on")) << t.Output();
    t.Type("q\n");
    EXPECT_EQ(t.Wait(), 4) << t.Output();
}

} // namespace
