// The tests' one way of running a program: an argument list (no shell), its
// standard output and standard error read apart (or, when asked, together as
// a terminal would show them), its exit status with a signal N told as
// 128 + N.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

struct ProcessResult {
    int status = -1; // exit status; 128 + N for a signal N; -1 when it did not start
    std::string out; // standard output (with standard error when merged)
    std::string err; // standard error
};

struct ProcessOptions {
    bool MergeErrors = false; // standard error into out, in the order written
    std::string Input;        // standard input; empty: an empty input
};

namespace process_run {

// Reads both pipes until both are closed; input is written as the child
// takes it.
inline void Drain(int outFd, int errFd, int inFd, const std::string& input, ProcessResult& r) {
    size_t fed = 0;
    if (input.empty() && inFd >= 0) ::close(std::exchange(inFd, -1));
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(inFd, input.data() + fed, input.size() - fed);
            fed += n > 0 ? static_cast<size_t>(n) : 0;
            if (n < 0 || fed == input.size()) ::close(std::exchange(inFd, -1));
        }
        int* open[2] = {&outFd, &errFd};
        std::string* into[2] = {&r.out, &r.err};
        for (int k = 0; k < 2; ++k) {
            if (*open[k] < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = ::read(*open[k], buffer, sizeof buffer);
            if (n > 0)
                into[k]->append(buffer, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                ::close(std::exchange(*open[k], -1));
        }
    }
    if (inFd >= 0) ::close(inFd);
}

} // namespace process_run

// In a forked child: becomes argv[0] (looked up in PATH when it has no "/")
// with argv, or exits with 127 when it cannot.
[[noreturn]] inline void ExecInChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    _exit(127);
}

// Runs argv[0] (looked up in PATH when it has no "/") with argv.
inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                const ProcessOptions& options = {}) {
    ProcessResult r;
    int out[2], err[2], in[2];
    if (argv.empty() || ::pipe2(out, O_CLOEXEC) != 0) return r;
    if (::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, options.MergeErrors ? out[1] : err[1],
                                     STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {out[1], err[1], in[0]})
        ::close(fd);
    process_run::Drain(out[0], err[0], in[1], options.Input, r);
    if (failed != 0) {
        r.err += argv[0] + ": cannot start\n";
        return r;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}
