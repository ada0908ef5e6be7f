#include "WizardModule.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/Errors.h"
#include "common/FileDescriptor.h"
#include "install/DisplayText.h"
#include "package/PackageFormat.h"
#include "package/PackageRecords.h"
#include "zstd/ZstdDecompress.h"

extern char** environ;

// The packed wizard, placed between these two symbols by the build (empty
// when the build makes no wizard).
extern "C" const char kWizardImage[];
extern "C" const char kWizardImageEnd[];

namespace {

// The largest program the runtime unpacks into memory: far above the wizard,
// far below what a memory file could not hold.
constexpr uint32_t kLargestWizard = 64u << 20;

// Unmaps a mapping when it goes.
struct Mapping {
    void* At;
    size_t Size;
    ~Mapping() {
        if (At != MAP_FAILED) ::munmap(At, Size);
    }
};

// The wizard program in an anonymous memory file, its zstd frame decoded
// straight into the file's pages: no copy of it, packed or unpacked, in the
// runtime's own memory, which keeps its start (and the fork) short. -1 with
// why on failure.
int WizardInMemory(std::string& why) {
    const std::string_view image(kWizardImage, CarriedWizardSize());
    FileDescriptor fd(::memfd_create("setup-wizard", MFD_CLOEXEC));
    if (!fd.IsOpen()) {
        why = std::string("no memory file for the graphical wizard: ") + std::strerror(errno);
        return -1;
    }
    try {
        const EntryRecord head = DecodeEntryRecord(image.substr(0, size_t{kRecordSize}));
        const std::string_view frame = image.substr(std::min(image.size(), size_t{kRecordSize}));
        if (!head.Zstd() || frame.size() != head.StoredSize || head.Size > kLargestWizard)
            throw DamagedInput("it is not one zstd frame of at most 64 MB", "");
        if (::ftruncate(fd.Get(), head.Size) != 0) throw IoError(errno, "setup-wizard");
        const Mapping out{
            ::mmap(nullptr, head.Size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.Get(), 0), head.Size};
        if (out.At == MAP_FAILED) throw IoError(errno, "setup-wizard");
        DecompressZstdInto(frame, static_cast<char*>(out.At), head.Size, "the graphical wizard");
    } catch (const KaveloError& e) {
        why = std::string("the graphical wizard it carries cannot be unpacked: ") + e.what();
        return -1;
    }
    return fd.Release();
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
    FileDescriptor program(WizardInMemory(start.WhyNot));
    if (!program.IsOpen()) return start;
    int ready[2], errors[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return {false, 0, "no pipe: " + std::string(strerror(errno))};
    FileDescriptor readyRead(ready[0]), readyWrite(ready[1]);
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return {false, 0, "no pipe: " + std::string(strerror(errno))};
    FileDescriptor errorsRead(errors[0]), errorsWrite(errors[1]);
    const pid_t pid = ::fork();
    if (pid < 0)
        return {false, 0, "cannot start the graphical wizard: " + std::string(strerror(errno))};
    if (pid == 0) ExecWizard(program.Get(), ready[1], errors[1], self, presets);
    readyWrite.Reset();
    errorsWrite.Reset();
    program.Reset();
    std::string said;
    int status = 0;
    start.Started = WaitForWizard(pid, readyRead.Get(), errorsRead.Get(), said, status);
    start.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!start.Started) {
        const std::string line = LastLine(said);
        start.WhyNot = "the graphical wizard could not start" +
                       (line.empty() ? std::string() : " (" + line + ")");
    }
    return start;
}
