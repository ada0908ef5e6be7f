#include "app/WorkerHost.h"

#include "ui/QueuedProgress.h"

WorkerHost::WorkerHost(Host& window) : window_(window) {}

WorkerHost::~WorkerHost() = default;

void WorkerHost::ShowError(const std::string& text) {
    QMetaObject::invokeMethod(
        &windowSide_, [&] { window_.ShowError(text); }, Qt::BlockingQueuedConnection);
}

bool WorkerHost::AskYesNo(const std::string& text) {
    bool yes = false;
    QMetaObject::invokeMethod(
        &windowSide_, [&] { yes = window_.AskYesNo(text); }, Qt::BlockingQueuedConnection);
    return yes;
}

// The progress window is shown before the work goes on; its bar is told the
// values through the queue, with the window as the calls' context.
ProgressSink* WorkerHost::BeginPacking() {
    ProgressSink* bar = nullptr;
    QMetaObject::invokeMethod(
        &windowSide_, [&] { bar = window_.BeginPacking(); }, Qt::BlockingQueuedConnection);
    bar_ = std::make_unique<QueuedProgress>(bar, dynamic_cast<QObject*>(bar));
    return bar_.get();
}

void WorkerHost::PackingLabel(const std::string& text) {
    QMetaObject::invokeMethod(
        &windowSide_, [this, text] { window_.PackingLabel(text); }, Qt::QueuedConnection);
}

// Queued after the last value: the bar shows it before the window goes.
void WorkerHost::EndPacking() {
    QMetaObject::invokeMethod(
        &windowSide_, [this] { window_.EndPacking(); }, Qt::QueuedConnection);
}

void WorkerHost::DebugTextChanged(const std::string& text) {
    QMetaObject::invokeMethod(
        &windowSide_, [this, text] { window_.DebugTextChanged(text); }, Qt::QueuedConnection);
}
