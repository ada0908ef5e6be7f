#include "TerminalWizard.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "InstallMode.h"
#include "SetupRun.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "install/DisplayText.h"

namespace {

struct TerminalSize {
    int Rows = 24;
    int Columns = 80;
};

TerminalSize SizeOfTerminal() {
    TerminalSize size;
    winsize ws{};
    if (::ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 4 && ws.ws_col > 20) {
        size.Rows = ws.ws_row;
        size.Columns = ws.ws_col;
    }
    return size;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// The bar, percentage and file name of an installation under way, redrawn
// in place; warnings go above it.
class ProgressBar : public InstallProgress {
  public:
    ProgressBar(int columns, RunLog& log) : columns_(columns), log_(log) {}
    void Step(const PlanStep& step) override {
        log_.Write("  " + step.Text);
        if (!step.Warning) return;
        std::printf("\r\x1b[K%s\n", step.Text.c_str());
        Draw();
    }
    void Bytes(uint64_t done, uint64_t total, const std::string& file) override {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent == percent_ && file == file_) return;
        percent_ = percent;
        file_ = file;
        Draw();
    }
    bool Cancelled() override { return StopRequested(); }
    void End() {
        if (percent_ >= 0) std::printf("\n");
    }

  private:
    void Draw() {
        constexpr int kWidth = 30;
        const int filled = percent_ * kWidth / 100;
        std::string name = Shown(file_.substr(file_.rfind('/') + 1));
        const size_t room =
            columns_ > kWidth + 10 ? static_cast<size_t>(columns_ - kWidth - 10) : 0;
        if (name.size() > room) name = room > 3 ? name.substr(0, room - 3) + "..." : "";
        std::printf("\r\x1b[K[%s%s] %3d%%  %s", std::string(filled, '#').c_str(),
                    std::string(kWidth - filled, '-').c_str(), percent_, name.c_str());
        std::fflush(stdout);
    }

    int columns_;
    RunLog& log_;
    int percent_ = -1;
    std::string file_;
};

class Wizard {
  public:
    Wizard(SetupRun& run) : run_(run), size_(SizeOfTerminal()) {
        const char* term = std::getenv("TERM");
        bold_ = !(term && std::string(term) == "dumb");
    }

    int Run();

  private:
    bool Ask(const std::string& prompt, std::string& answer);
    bool Quits(const std::string& answer) const { return LowerAscii(answer) == "q"; }
    void Heading(const std::string& title);
    bool Welcome();
    int License();
    bool Components();
    void ShowComponents();
    bool ChangeComponent(const std::string& answer);
    bool ChooseFolder(std::string& folder);
    int Install(const std::string& folder);
    void Finish(const InstallPlan& plan, const InstallResult& result);
    int Cancel();

    SetupRun& run_;
    TerminalSize size_;
    bool bold_;
};

// Reads one typed line. False when the user pressed Ctrl-C or Ctrl-D.
bool Wizard::Ask(const std::string& prompt, std::string& answer) {
    std::printf("%s\n> ", prompt.c_str());
    std::fflush(stdout);
    answer.clear();
    for (;;) {
        pollfd waits[2] = {{0, POLLIN, 0}, {StopSignalFd(), POLLIN, 0}};
        if (StopRequested()) return false;
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) return false;
        if (StopRequested()) return false;
        if (!(waits[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char c = 0;
        const ssize_t n = ::read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') break;
        if (c != '\r') answer += c;
    }
    const size_t first = answer.find_first_not_of(' ');
    answer = first == std::string::npos
                 ? ""
                 : answer.substr(first, answer.find_last_not_of(' ') - first + 1);
    run_.Log().Write("> " + Shown(answer));
    return true;
}

void Wizard::Heading(const std::string& title) {
    const std::string shown = Shown(title);
    std::printf("\n%s%s%s\n%s\n", bold_ ? "\x1b[1m" : "", shown.c_str(), bold_ ? "\x1b[0m" : "",
                std::string(std::min<size_t>(shown.size(), static_cast<size_t>(size_.Columns)), '=')
                    .c_str());
}

int Wizard::Cancel() {
    std::printf("\nCancelled; nothing was installed.\n");
    run_.Log().Write("Cancelled before installing.");
    return kExitCancelled;
}

bool Wizard::Welcome() {
    Heading(run_.Setup().Line(LineCaption));
    std::printf("\n%s\n\n", ShownText(run_.Setup().Line(LineStartText)).c_str());
    std::string answer;
    return Ask("Press Enter to go on (q quits).", answer) && !Quits(answer);
}

// The licence page by page; 0 when accepted, else the exit status.
int Wizard::License() {
    if (run_.LicenseName().empty() || run_.Options().AcceptLicense) return 0;
    Heading("Licence");
    const std::vector<std::string> lines = LinesOf(ShownText(run_.LicenseText()));
    const size_t page = static_cast<size_t>(std::max(size_.Rows - 4, 4));
    std::string answer;
    for (size_t at = 0; at < lines.size(); at += page) {
        for (size_t i = at; i < std::min(lines.size(), at + page); ++i)
            std::printf("%s\n", lines[i].c_str());
        if (at + page >= lines.size()) break;
        if (!Ask("-- Enter shows more (q quits) --", answer) || Quits(answer)) return Cancel();
    }
    if (!Ask("\nDo you accept the licence? [y/N]", answer)) return Cancel();
    const std::string yes = LowerAscii(answer);
    if (yes == "y" || yes == "yes") return 0;
    std::printf("The licence was not accepted; nothing was installed.\n");
    run_.Log().Write("The licence was not accepted.");
    return kExitLicence;
}

void Wizard::ShowComponents() {
    for (const PanelControl* c : run_.Panel().ControlsInLineOrder()) {
        const std::string indent(static_cast<size_t>(std::min(std::max((c->Left - 8) / 8, 0), 20)),
                                 ' ');
        std::string line;
        if (c->Kind == KindLabel) {
            line = "     " + indent + Shown(c->Text);
            if (c->Bold && bold_) line = "\x1b[1m" + line + "\x1b[0m";
        } else if (c->Kind == KindCombo) {
            const std::string& item = c->ItemTexts[static_cast<size_t>(c->Selected - 1)];
            line = (c->Id < 10 ? "   " : "  ") + std::to_string(c->Id) + "  " + indent + "< " +
                   Shown(item) + " >  (" + std::to_string(c->ItemTexts.size()) + " choices)";
        } else {
            const char* box =
                c->Kind == KindCheck ? (c->Checked ? "[x]" : "[ ]") : (c->Checked ? "(o)" : "( )");
            line = (c->Id < 10 ? "   " : "  ") + std::to_string(c->Id) + "  " + indent + box + " " +
                   Shown(c->Text);
        }
        std::printf("%s\n", line.c_str());
    }
}

// Applies a typed "N" or "N=ITEM"; false when it names no component.
bool Wizard::ChangeComponent(const std::string& answer) {
    const size_t equals = answer.find('=');
    const int id = std::atoi(answer.substr(0, equals).c_str());
    const PanelControl* c = run_.Panel().FindElement(id);
    if (!c || answer.find_first_not_of("0123456789=") != std::string::npos) return false;
    ScriptPanelModel& panel = run_.Panel();
    if (c->Kind == KindCheck) {
        panel.ClickCheck(c->Index);
    } else if (c->Kind == KindOption) {
        panel.ClickOption(c->Index);
    } else {
        std::string item = equals == std::string::npos ? "" : answer.substr(equals + 1);
        if (item.empty()) {
            for (size_t i = 0; i < c->ItemTexts.size(); ++i)
                std::printf("     %2zu  %s\n", i + 1, Shown(c->ItemTexts[i]).c_str());
            if (!Ask("Choose 1-" + std::to_string(c->ItemTexts.size()) + ":", item)) return true;
        }
        const int n = std::atoi(item.c_str());
        if (n < 1 || n > static_cast<int>(c->ItemTexts.size())) return false;
        panel.PickItem(c->Index, n);
    }
    run_.Log().Write("Component " + std::to_string(id) + " changed");
    return true;
}

bool Wizard::Components() {
    if (run_.Panel().ElementCount() == 0) return true;
    for (;;) {
        Heading("Components");
        ShowComponents();
        std::string answer;
        if (!Ask("\nType a number to change that component, or press Enter to go on (q quits).",
                 answer) ||
            Quits(answer))
            return false;
        if (answer.empty()) return true;
        if (!ChangeComponent(answer))
            std::printf("There is no component \"%s\".\n", Shown(answer).c_str());
        if (StopRequested()) return false;
    }
}

bool Wizard::ChooseFolder(std::string& folder) {
    Heading("Installation folder");
    for (;;) {
        std::printf("  %s\n", Shown(folder).c_str());
        std::string answer;
        if (!Ask("\nPress Enter to install there, or type another folder (q quits).", answer) ||
            Quits(answer))
            return false;
        if (answer.empty()) break;
        if (answer == "~" || answer.starts_with("~/"))
            answer = run_.Environment().Home + answer.substr(1);
        try {
            folder = ChosenInstallFolder(answer);
        } catch (const KaveloError& e) {
            std::printf("%s\n", ShownError(e).c_str());
        }
    }
    return true;
}

int Wizard::Install(const std::string& folder) {
    Heading("Installing");
    std::optional<InstallPlan> plan;
    if (const int status = run_.Prepare(folder, plan)) return status;
    ProgressBar bar(size_.Columns, run_.Log());
    InstallResult result;
    const int status = run_.Install(*plan, bar, result);
    bar.End();
    if (status == kExitInstalled) Finish(*plan, result);
    return status;
}

void Wizard::Finish(const InstallPlan& plan, const InstallResult& result) {
    run_.Log().Write("Installed into " + Shown(plan.Folders.Install));
    Heading("Finished");
    std::printf("\n%s\n\nTo remove it again later, run %s\n",
                ShownText(run_.Setup().Line(LineFinishText)).c_str(),
                Shown(result.Uninstall).c_str());
    if (!run_.CanLaunch(plan)) return;
    std::string answer;
    if (!Ask("\n" + Shown(run_.Setup().Line(LineLaunchText)) + "? [Y/n]", answer)) return;
    const std::string no = LowerAscii(answer);
    if (no != "n" && no != "no") run_.Launch(plan);
}

int Wizard::Run() {
    if (!Welcome()) return Cancel();
    if (const int status = License()) return status;
    if (!Components()) return Cancel();
    std::string folder;
    try {
        folder = run_.DefaultFolder();
    } catch (const KaveloError& e) {
        std::printf("%s; type the folder to install into.\n", ShownError(e).c_str());
        folder = run_.Environment().Home;
    }
    for (;;) {
        if (!ChooseFolder(folder)) return Cancel();
        std::optional<InstallPlan> plan;
        try {
            plan = run_.Plan(folder);
        } catch (const KaveloError& e) {
            std::printf("\nThe installation cannot go ahead: %s\n", ShownError(e).c_str());
            continue;
        }
        Heading("Ready to install");
        size_t files = 0;
        for (const PlanStep& step : plan->Steps) {
            files += WritesFile(step.Kind);
            if (step.Warning) std::printf("  %s\n", step.Text.c_str());
        }
        std::printf("  %zu file(s), %s, into %s\n", files, SizeText(plan->Bytes).c_str(),
                    Shown(folder).c_str());
        std::string answer;
        if (!Ask("\nPress Enter to install (b goes back to the folder, q quits).", answer) ||
            Quits(answer))
            return Cancel();
        if (LowerAscii(answer) != "b") break;
    }
    return Install(folder);
}

} // namespace

int RunWizard(const std::string& self, const InstallOptions& options) {
    CatchStopSignals();
    RunLog log;
    try {
        if (!options.Log.empty()) log.Open(options.Log, self);
    } catch (const KaveloError& e) {
        std::fprintf(stderr, "setup: %s\n", ShownError(e).c_str());
        return kExitUsage;
    }
    SetupRun run(self, options, log);
    if (const int status = run.Load()) return status;
    // A damaged setup is refused before the wizard asks anything.
    if (const int status = run.Checked()) return status;
    Wizard wizard(run);
    return wizard.Run();
}
