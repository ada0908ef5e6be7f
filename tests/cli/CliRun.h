// Running kavelo and setups from the tests: an argument list (Spawn), or, for
// what a packager's shell script does (cd, &&, &, redirections), a command
// line for /bin/sh (Shell); each with its exit status, standard output and
// standard error.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "ProcessRun.h"
#include "TestHost.h"

using ShellResult = ProcessResult;

// Runs command with /bin/sh; $K names kavelo and $R the bare runtime.
inline ShellResult Shell(const std::string& command) {
    const std::string line =
        "K='" + std::string(KAVELO_PATH) + "'; R='" + RUNTIME_PATH + "'; " + command;
    return RunProcess({"/bin/sh", "-c", line});
}

// Runs argv (no shell): standard output and error apart, or, with merge,
// together as a terminal shows them.
inline ShellResult Spawn(const std::vector<std::string>& argv, bool merge = false) {
    ProcessOptions options;
    options.MergeErrors = merge;
    return RunProcess(argv, options);
}

// The words of text split at blanks, after the words of head.
inline std::vector<std::string> Words(const std::string& text, std::vector<std::string> head = {}) {
    for (size_t from = 0; from < text.size();) {
        const size_t blank = std::min(text.find(' ', from), text.size());
        if (blank > from) head.push_back(text.substr(from, blank - from));
        from = blank + 1;
    }
    return head;
}

// Locks of setups go to a folder of the test's own, not the user's.
class LockFolderEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1); }

  private:
    TempDir folder_;
};
