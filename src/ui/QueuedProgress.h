// A progress sink for a worker thread: the values it is told are shown on a
// sink of the window thread (a qkProgressA) by queued calls, the latest
// value at most about once a frame, so a codec reporting every few
// kilobytes neither floods the event queue nor keeps the window thread
// repainting (and taking a core from the work).
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>

#include "common/Progress.h"

class QueuedProgress : public ProgressSink {
  public:
    // target is shown values by calls queued to context, a window thread
    // object that lives as long as target and is not deleted while the
    // worker reports (calls queued to it are dropped once it is). A null
    // target shows nothing. This object outlives the calls it queues: its
    // owner processes the events the worker posted before destroying it.
    QueuedProgress(ProgressSink* target, QObject* context);

    // Called on the worker thread.
    void ValueSet(float value) override;
    // Shows the last value told, which a call skipped within a frame of
    // the one before may not have; on the window thread, once the work ended.
    void ShowLast();

  private:
    ProgressSink* target_;
    QObject* context_;
    std::atomic<float> value_{0};
    std::atomic<bool> posted_{false};
    std::chrono::steady_clock::time_point lastPost_; // the worker thread's own
};
