// Runs a program under ptrace and counts the system calls that change the
// disk (making, renaming, removing, creating or opening a file to write,
// writing to a regular file, changing modes). At the call numbered at it
// kills the program before the call is made, or, with an error number, makes
// that call fail with it instead. The runtime is linked statically, so the
// calls are seen where they enter the kernel. x86-64 only.
#pragma once

#if defined(__x86_64__)

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

struct StoppedRun {
    int status = -1; // exit status; 128 + N for a signal N
    long calls = 0;  // the disk-changing calls seen
};

// Whether the call in regs changes the disk.
inline bool ChangesDisk(pid_t pid, const user_regs_struct& regs) {
    const auto writing = [](unsigned long long flags) {
        return (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_ACCMODE) != O_RDONLY;
    };
    switch (regs.orig_rax) {
    case SYS_mkdir:
    case SYS_mkdirat:
    case SYS_rename:
    case SYS_renameat:
    case SYS_renameat2:
    case SYS_unlink:
    case SYS_unlinkat:
    case SYS_rmdir:
    case SYS_fchmod:
    case SYS_fchmodat:
    case SYS_chmod:
    case SYS_symlinkat:
    case SYS_linkat:
    case SYS_ftruncate:
        return true;
    case SYS_open:
        return writing(regs.rsi);
    case SYS_openat:
        return writing(regs.rdx);
    case SYS_write:
    case SYS_pwrite64: {
        struct stat st {};
        const std::string fd = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(regs.rdi);
        return ::stat(fd.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    default:
        return false;
    }
}

// Runs words (output to the file out), stopping at call at (0: never).
inline StoppedRun RunStopping(const std::vector<std::string>& words, const std::string& out,
                              long at, int failErrno) {
    StoppedRun run;
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        std::vector<char*> argv;
        for (const std::string& w : words)
            argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::raise(SIGSTOP);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::ptrace(PTRACE_SETOPTIONS, child, nullptr,
             PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL);
    bool inCall = false, failing = false;
    int signal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, child, nullptr, signal);
        signal = 0;
        if (::waitpid(child, &status, 0) != child) break;
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        const int stop = WSTOPSIG(status);
        if (stop != (SIGTRAP | 0x80)) {
            // An exec event, or a signal meant for the program.
            if (stop != SIGTRAP) signal = stop;
            continue;
        }
        user_regs_struct regs{};
        ::ptrace(PTRACE_GETREGS, child, nullptr, &regs);
        if (!inCall) {
            inCall = true;
            if (!ChangesDisk(child, regs) || ++run.calls != at) continue;
            if (failErrno == 0) {
                ::kill(child, SIGKILL);
                continue;
            }
            regs.orig_rax = static_cast<unsigned long long>(-1); // the call is not made
            ::ptrace(PTRACE_SETREGS, child, nullptr, &regs);
            failing = true;
        } else {
            inCall = false;
            if (!failing) continue;
            failing = false;
            regs.rax = static_cast<unsigned long long>(-failErrno);
            ::ptrace(PTRACE_SETREGS, child, nullptr, &regs);
        }
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

#endif
