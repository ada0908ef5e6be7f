// Progress reporting and yielding to the event loop, shared by every layer.
// The core never calls a window: the program installs a yield hook and hands
// progress sinks (the progress bar) to the operations that report.
#pragma once

#include <functional>

// Anything that shows a fraction from 0 to 1.
struct ProgressSink {
    virtual ~ProgressSink() = default;
    virtual void ValueSet(float value) = 0;
};

// Runs the hook the program installed (the GUI processes its events once);
// does nothing when none is installed, as in the CLI and the tests.
void YieldToEventLoop();

// Installs (or with an empty function removes) the yield hook; returns the previous one.
std::function<void()> SetYieldHook(std::function<void()> hook);
