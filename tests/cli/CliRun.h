// Running kavelo and setups from the tests as a packager's shell script
// does: a command line for /bin/sh with its exit status, standard output and
// standard error.
#pragma once

#include <string>

#include "ProcessRun.h"
#include "TestHost.h"

using ShellResult = ProcessResult;

// Runs command with /bin/sh; $K names kavelo and $R the bare runtime.
inline ShellResult Shell(const std::string& command) {
    const std::string line =
        "K='" + std::string(KAVELO_PATH) + "'; R='" + RUNTIME_PATH + "'; " + command;
    return RunProcess({"/bin/sh", "-c", line});
}

// Locks of setups go to a folder of the test's own, not the user's.
class LockFolderEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1); }

  private:
    TempDir folder_;
};
