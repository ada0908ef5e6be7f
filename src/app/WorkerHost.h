// The host a worker thread's save or open talks to: every call is carried
// over to the program's host on the window thread. Questions and messages
// wait for their answer there; the progress window's label and bar are
// queued, so the work never waits for a repaint.
#pragma once

#include <QObject>

#include <memory>

#include "common/Host.h"

class QueuedProgress;

class WorkerHost : public Host {
  public:
    // Made on the window thread, whose host window is; it must outlive the work.
    explicit WorkerHost(Host& window);
    ~WorkerHost() override;

    // Called on the worker thread.
    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    ProgressSink* BeginPacking() override;
    void PackingLabel(const std::string& text) override;
    void EndPacking() override;
    void DebugTextChanged(const std::string& text) override;

  private:
    Host& window_;
    QObject windowSide_; // lives on the window thread: the calls are made there
    std::unique_ptr<QueuedProgress> bar_;
};
