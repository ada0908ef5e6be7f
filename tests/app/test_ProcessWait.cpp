// Starting a program and waiting for it with events processed: the
// arguments as given, failures with the system's reason, the one-second
// first spell, the wait lasting as long as the process, and reaping.
#include "app/ProcessWait.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>

#include "TestHost.h"
#include "common/Errors.h"

namespace {

void WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

TEST(ProcessWait, ArgumentsArriveAsGivenWithThePathFirst) {
    TempDir dir;
    const std::string script = dir / "my setup.exe";
    WriteScript(script, "printf '%s\\n' \"$0\" \"$#\" \"$@\" > '" + (dir / "args") + "'\n");
    const int64_t pid = StartProgram(script, {script});
    int status = 0;
    ASSERT_EQ(waitpid(static_cast<pid_t>(pid), &status, 0), pid);
    EXPECT_EQ(ReadFile(dir / "args"), script + "\n1\n" + script + "\n");
}

TEST(ProcessWait, AProgramThatCannotStartThrowsTheSystemsReason) {
    TempDir dir;
    WriteFile(dir / "text.exe", "no program here\n");
    chmod((dir / "text.exe").c_str(), 0755);
    WriteFile(dir / "plain.exe", "#!/bin/sh\n");
    chmod((dir / "plain.exe").c_str(), 0644);
    const std::pair<std::string, int> cases[] = {
        {dir / "missing.exe", ENOENT},
        {dir / "plain.exe", EACCES},
        {dir / "text.exe", ENOEXEC},
    };
    for (const auto& [path, code] : cases) {
        try {
            StartProgram(path, {path});
            ADD_FAILURE() << path << " started";
        } catch (const IoError& e) {
            EXPECT_EQ(e.Code(), code) << path;
            EXPECT_EQ(e.Path(), path);
            EXPECT_FALSE(e.Reason().empty());
        }
    }
}

TEST(ProcessWait, DoEventsExProcessesEventsForAtLeastTheTime) {
    int fired = 0;
    QTimer::singleShot(30, [&] { ++fired; });
    QMetaObject::invokeMethod(
        qApp, [&] { ++fired; }, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    DoEventsEx(120);
    EXPECT_GT(clock.elapsed(), 120);
    EXPECT_EQ(fired, 2);
}

TEST(ProcessWait, WaitLastsAsLongAsTheProcessAndReapsIt) {
    TempDir dir;
    WriteScript(dir / "slow.exe", "sleep 1.4\n");
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    // Started before the process, which cannot end sooner than 1.4 s later.
    QElapsedTimer clock;
    clock.start();
    const int64_t pid = StartProgram(dir / "slow.exe", {});
    WaitOnProgramm(pid, 50);
    const qint64 waited = clock.elapsed();
    EXPECT_GE(waited, 1400);
    EXPECT_GE(ticks, 5); // events ran while it waited
    // Reaped: no zombie of it is left to wait for.
    errno = 0;
    EXPECT_EQ(waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(ProcessWait, AProcessThatCannotBeWatchedEndsTheWaitAfterTheFirstSecond) {
    for (const int64_t pid : {int64_t{-5}, int64_t{0}, int64_t{1} << 40}) {
        QElapsedTimer clock;
        clock.start();
        WaitOnProgramm(pid, 1000);
        EXPECT_GT(clock.elapsed(), 1000) << pid;
    }
}

} // namespace
