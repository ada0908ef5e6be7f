// Progress reporting, shared by every layer: operations that report are
// handed a progress sink (in the editor, the progress bar). The core never
// calls a window.
#pragma once

// Anything that shows a fraction from 0 to 1.
struct ProgressSink {
    virtual ~ProgressSink() = default;
    virtual void ValueSet(float value) = 0;
    // Called after each report, where a program that does the work on its
    // window thread would let the windows be painted. The editor does its
    // long work on a worker thread, so nothing here needs doing; tests count
    // the calls.
    virtual void Yield() {}
};
