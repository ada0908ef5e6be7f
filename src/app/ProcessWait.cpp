// Process start with posix_spawn, waits on a process descriptor (pidfd), and
// event processing against QElapsedTimer, which runs on the monotonic clock.
#include "app/ProcessWait.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "common/Errors.h"
#include "common/FileDescriptor.h"

extern char** environ;

namespace {

constexpr int kFirstSpellMs = 1000;
constexpr int kProcessWaitMs = 100;

// A descriptor that becomes readable when the process ends, or -1 when the
// process cannot be watched.
int OpenProcess(int64_t processId) {
    if (processId <= 0 || processId > INT32_MAX) return -1;
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
}

// True while the process is still running after up to timeoutMs; false when
// it has ended or the descriptor cannot be waited on.
bool StillRunning(int pidfd, int timeoutMs) {
    pollfd watch{pidfd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, timeoutMs);
    if (ready < 0) return errno == EINTR;
    return ready == 0;
}

// Sleeps until an event arrives or timeoutMs has passed, handling events.
void WaitForEvents(qint64 timeoutMs) {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(timeoutMs));
    loop.exec();
}

} // namespace

int64_t StartProgram(const std::string& path, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The setup starts with no signal blocked and every signal at its default,
    // whatever this program has set for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) throw IoError(error, path);
    return pid;
}

void WaitOnProgramm(int64_t processId, int interval) {
    const FileDescriptor pidfd(OpenProcess(processId));
    DoEventsEx(kFirstSpellMs);
    if (pidfd.IsOpen()) {
        while (StillRunning(pidfd.Get(), kProcessWaitMs))
            DoEventsEx(interval);
    }
    // Our own child stays a zombie until it is reaped; any other process is
    // not ours to reap and the call does nothing.
    if (processId > 0 && processId <= INT32_MAX)
        ::waitpid(static_cast<pid_t>(processId), nullptr, WNOHANG);
}

void DoEventsEx(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents();
    for (;;) {
        const qint64 left = milliseconds - clock.elapsed();
        if (left < 0) break;
        WaitForEvents(left + 1);
    }
}
