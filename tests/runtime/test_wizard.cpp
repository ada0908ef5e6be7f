// The terminal wizard driven through a pseudo-terminal with keystrokes: a
// whole installation with a licence, a component change and a typed folder;
// Ctrl-C on the component page; a licence declined.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>

#include "InstallSandbox.h"
#include "ProcessRun.h"

namespace {

std::string ReadFileOrEmpty(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

} // namespace

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
            ExecInChild(words);
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

// With Qt 6 unloadable (empty files where its libraries are looked for
// first) the graphical wizard cannot start, and the terminal gets the
// terminal wizard.
TEST(TerminalWizard, QtThatCannotBeLoadedFallsBackToTheTerminal) {
    Sandbox box;
    const std::string setup = WizardSetup(box);
    std::filesystem::create_directories(box / "badqt");
    for (const char* name : {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6"})
        WriteFile(box / ("badqt/" + std::string(name)), "");
    box.HandOver();
    for (const std::string& e :
         {std::string("DISPLAY=:77"), std::string("QT_QPA_PLATFORM=offscreen"),
          "LD_LIBRARY_PATH=" + box / "badqt"})
        box.SetEnv(e);
    Terminal t(box, {setup});
    ASSERT_TRUE(t.Expect("Press Enter to go on")) << t.Output();
    t.Type("q\n");
    EXPECT_EQ(t.Wait(), 4) << t.Output();
}

// The process of pid whose program was loaded from memory (its /proc exe
// link names a memfd), once it has said it is ready (its --ready-fd is
// closed); 0 when none comes within 30 seconds.
pid_t ReadyWizardOf(pid_t runtime) {
    for (int tries = 0; tries < 300; ++tries) {
        for (const auto& e : std::filesystem::directory_iterator("/proc")) {
            const std::string name = e.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string stat = ReadFileOrEmpty(e.path() / "stat");
            const size_t close = stat.rfind(')');
            if (close == std::string::npos) continue;
            const pid_t parent = std::atoi(stat.c_str() + close + 4);
            std::error_code ec;
            const std::string exe = std::filesystem::read_symlink(e.path() / "exe", ec).string();
            if (parent != runtime || exe.rfind("/memfd:setup-wizard", 0) != 0) continue;
            std::string cmdline = ReadFileOrEmpty(e.path() / "cmdline");
            const size_t at = cmdline.find(std::string("--ready-fd\0", 11));
            if (at == std::string::npos) continue;
            const std::string fd = cmdline.c_str() + at + 11;
            if (!std::filesystem::exists(e.path() / "fd" / fd, ec)) return std::stoi(name);
        }
        ::usleep(100000);
    }
    return 0;
}

// A real setup on a display (offscreen): the runtime unpacks its wizard into
// memory and runs it from there; the wizard's status becomes the setup's.
TEST(GraphicalWizard, StartsFromMemoryAndItsStatusIsTheSetups) {
    Sandbox box;
    const std::string setup = WizardSetup(box);
    box.HandOver();
    for (const char* e : {"DISPLAY=:77", "QT_QPA_PLATFORM=offscreen"})
        box.SetEnv(e);
    std::vector<std::string> words = box.Words({setup});
    const pid_t runtime = ::fork();
    if (runtime == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2})
            ::dup2(null, fd);
        ExecInChild(words);
    }
    const pid_t wizard = ReadyWizardOf(runtime);
    EXPECT_NE(wizard, 0) << "no wizard from memory came up";
    if (wizard) ::kill(wizard, SIGTERM);
    int status = 0;
    if (!wizard) ::kill(runtime, SIGKILL);
    ::waitpid(runtime, &status, 0);
    // Not 6: the runtime did not go on to another way of asking.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
}

} // namespace
