// Running kavelo and setups from the tests: a shell command line with its
// exit status, standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestHost.h"

struct ShellResult {
    int status;
    std::string out;
    std::string err;
};

// Runs command with /bin/sh; $K names kavelo and $R the bare runtime.
inline ShellResult Shell(const std::string& command) {
    ShellResult r{-1, {}, {}};
    TempDir errors;
    const std::string errFile = errors / "stderr";
    const std::string line = "K='" + std::string(KAVELO_PATH) + "'; R='" + RUNTIME_PATH + "'; { " +
                             command + "\n} 2>'" + errFile + "'";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0)
        r.out.append(buffer.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadFile(errFile);
    return r;
}

// Locks of setups go to a folder of the test's own, not the user's.
class LockFolderEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1); }

  private:
    TempDir folder_;
};
