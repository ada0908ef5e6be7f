#include "WizardModule.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/Errors.h"
#include "install/DisplayText.h"
#include "package/PackageReader.h"
#include "package/PackageRecords.h"

extern char** environ;

// The packed wizard, placed between these two symbols by the build (empty
// when the build makes no wizard).
extern "C" const char kWizardImage[];
extern "C" const char kWizardImageEnd[];

namespace {

// Owns a file descriptor.
struct Fd {
    int Value = -1;
    explicit Fd(int fd = -1) : Value(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    void Reset() {
        if (Value >= 0) ::close(Value);
        Value = -1;
    }
};

// The wizard program in an anonymous memory file; -1 with why on failure.
int WizardInMemory(std::string& why) {
    std::string program;
    try {
        program = ExtractEntry(DecodeEntryRecord(
            std::string_view(kWizardImage, static_cast<size_t>(kWizardImageEnd - kWizardImage))));
    } catch (const KaveloError& e) {
        why = std::string("the graphical wizard it carries is damaged: ") + e.what();
        return -1;
    }
    const int fd = ::memfd_create("setup-wizard", MFD_CLOEXEC);
    if (fd < 0) {
        why = std::string("no memory file for the graphical wizard: ") + std::strerror(errno);
        return -1;
    }
    for (size_t done = 0; done < program.size();) {
        const ssize_t n = ::write(fd, program.data() + done, program.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::string("cannot unpack the graphical wizard: ") + std::strerror(errno);
            ::close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return fd;
}

// In the child: the ready pipe on a descriptor of its own without
// close-on-exec, standard error into the runtime's pipe, then the wizard.
[[noreturn]] void ExecWizard(int program, int ready, int errors, const std::string& self,
                             const std::vector<std::string>& presets) {
    // A wizard that cannot reach the display aborts; that is a way not to
    // ask, not a crash worth a core file.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const int readyFd = ::fcntl(ready, F_DUPFD, 10);
    ::dup2(errors, 2);
    std::vector<std::string> words = {"setup-wizard", "--setup", self, "--ready-fd",
                                      std::to_string(readyFd)};
    words.insert(words.end(), presets.begin(), presets.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    ::fexecve(program, argv.data(), environ);
    _exit(127);
}

// Waits for the wizard to end, keeping what it says on standard error:
// passed on once it is up, kept for the reason when it is not. Whether it
// came up (its ready byte); status is its exit status.
bool WaitForWizard(pid_t pid, int ready, int errors, std::string& said, int& status) {
    bool started = false;
    bool readyOpen = true;
    bool errorsOpen = true;
    for (;;) {
        pollfd waits[2] = {{errorsOpen ? errors : -1, POLLIN, 0},
                           {readyOpen ? ready : -1, POLLIN, 0}};
        // Woken at least every 200 ms to see whether the wizard has ended: a
        // program it started may hold its standard error open.
        if (::poll(waits, 2, 200) < 0 && errno != EINTR) errorsOpen = readyOpen = false;
        if (readyOpen && waits[1].revents) {
            char byte = 0;
            started = ::read(ready, &byte, 1) == 1;
            readyOpen = false;
            if (started) (void)!::write(2, said.data(), said.size());
        }
        if (errorsOpen && waits[0].revents) {
            char buffer[4096];
            const ssize_t n = ::read(errors, buffer, sizeof buffer);
            if (n <= 0 && !(n < 0 && errno == EINTR)) errorsOpen = false;
            if (n > 0 && started) (void)!::write(2, buffer, static_cast<size_t>(n));
            if (n > 0 && !started && said.size() < 16384)
                said.append(buffer, static_cast<size_t>(n));
        }
        const pid_t ended = ::waitpid(pid, &status, errorsOpen ? WNOHANG : 0);
        if (ended == pid || (ended < 0 && errno != EINTR)) {
            // A byte written just before the end is still in the pipe.
            char byte = 0;
            return started || (readyOpen && ::read(ready, &byte, 1) == 1);
        }
    }
}

// The last line of what the wizard said (the loader's or the toolkit's
// reason for giving up comes last), for the message.
std::string LastLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return PrintableText(text.substr(text.rfind('\n') + 1));
}

} // namespace

size_t CarriedWizardSize() {
    return static_cast<size_t>(kWizardImageEnd - kWizardImage);
}

WizardStart RunGraphicalWizard(const std::string& self, const std::vector<std::string>& presets) {
    WizardStart start;
    if (CarriedWizardSize() == 0) {
        start.WhyNot = "this setup carries no graphical wizard";
        return start;
    }
    Fd program(WizardInMemory(start.WhyNot));
    if (program.Value < 0) return start;
    int ready[2], errors[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return {false, 0, "no pipe: " + std::string(strerror(errno))};
    Fd readyRead(ready[0]), readyWrite(ready[1]);
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return {false, 0, "no pipe: " + std::string(strerror(errno))};
    Fd errorsRead(errors[0]), errorsWrite(errors[1]);
    const pid_t pid = ::fork();
    if (pid < 0)
        return {false, 0, "cannot start the graphical wizard: " + std::string(strerror(errno))};
    if (pid == 0) ExecWizard(program.Value, ready[1], errors[1], self, presets);
    readyWrite.Reset();
    errorsWrite.Reset();
    program.Reset();
    std::string said;
    int status = 0;
    start.Started = WaitForWizard(pid, readyRead.Value, errorsRead.Value, said, status);
    start.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!start.Started) {
        const std::string line = LastLine(said);
        start.WhyNot = "the graphical wizard could not start" +
                       (line.empty() ? std::string() : " (" + line + ")");
    }
    return start;
}
