// The editor's host: message boxes over the current owner window, the
// progress window, and the debugger text through ProjectEvents.
#include "app/MakerHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QWindow>

#include "project/Session.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"
#include "ui/frmProgress.h"
#include "ui/qkProgressA.h"

namespace {

constexpr int kExposeWaitMs = 500; // at most, for a display that never shows it

// Paints window before the work it reports on goes on: the windowing system
// shows a new window only after a round trip, so the first frame would
// otherwise stay blank until the next one.
void PaintOnceShown(QWidget* window) {
    if (QWindow* handle = window->windowHandle()) {
        QDeadlineTimer deadline(kExposeWaitMs);
        while (!handle->isExposed() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
    }
    window->repaint();
}

// A hidden owner (the main window while a setup runs) cannot carry a box.
QWidget* VisibleOrNull(QWidget* owner) {
    return owner && owner->isVisible() ? owner : nullptr;
}

} // namespace

MakerHost::MakerHost(ProjectEvents& events) : events_(events) {}

MakerHost::~MakerHost() = default;

void MakerHost::ShowError(const std::string& text) {
    QWidget* parent = VisibleOrNull(owner_);
    events_.GetDialogs().Message(parent, BytesToText(text));
}

bool MakerHost::AskYesNo(const std::string& text) {
    QWidget* parent = VisibleOrNull(owner_);
    return events_.GetDialogs().Question(parent, BytesToText(text));
}

ProgressSink* MakerHost::BeginPacking() {
    RunState& run = events_.Module().Run;
    progress_ =
        std::make_unique<frmProgress>(owner_, [&run](bool open) { run.ProgressOpen = open; });
    progress_->show();
    PaintOnceShown(progress_.get());
    return progress_->Bar();
}

void MakerHost::PackingLabel(const std::string& text) {
    if (progress_) progress_->SetLabel(BytesToLine(text));
}

void MakerHost::EndPacking() {
    progress_.reset();
}

void MakerHost::DebugTextChanged(const std::string& text) {
    (void)text; // the debugger window reads RunState::DebugText itself
    emit events_.DebugTextChanged();
}
