// The editor program's main: --version and --help without a display, then
// the application with the startup dialog or the setup named on the command
// line. Shared by kavelomaker and the start-up benchmark's copy of it.
#pragma once

#include <functional>

// Runs the program; beforeStart is called once the application exists and
// before the first window is made. Returns the exit status.
int RunKaveloMaker(int argc, char** argv, const std::function<void()>& beforeStart = {});
