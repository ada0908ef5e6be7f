// The editor's host: message boxes over the current owner window, the
// progress window, and the debugger text through ProjectEvents.
#include "app/MakerHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QThread>
#include <QWindow>

#include "app/GuiYield.h"
#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"
#include "ui/frmProgress.h"
#include "ui/qkProgressA.h"

namespace {

constexpr int kExposeWaitMs = 500; // at most, for a display that never shows it

MessageBoxAnswer& InstalledAnswer() {
    static MessageBoxAnswer answer;
    return answer;
}

// Paints window before the work it reports on starts: the windowing system
// shows a new window only after a round trip, and a yield before that finds
// nothing to paint, so the first frame would stay blank until the next one.
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

void RealMessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, CaptionToPlain(ResText(30)), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QuestionAnswer& InstalledQuestionAnswer() {
    static QuestionAnswer answer;
    return answer;
}

bool RealQuestionBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, CaptionToPlain(ResText(30)), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

// A hidden owner (the main window while a setup runs) cannot carry a box.
QWidget* VisibleOrNull(QWidget* owner) {
    return owner && owner->isVisible() ? owner : nullptr;
}

} // namespace

QuestionAnswer SetQuestionAnswer(QuestionAnswer answer) {
    QuestionAnswer previous = std::move(InstalledQuestionAnswer());
    InstalledQuestionAnswer() = std::move(answer);
    return previous;
}

MessageBoxAnswer SetMessageBoxAnswer(MessageBoxAnswer answer) {
    MessageBoxAnswer previous = std::move(InstalledAnswer());
    InstalledAnswer() = std::move(answer);
    return previous;
}

MakerHost::MakerHost(ProjectEvents& events) : events_(events) {}

MakerHost::~MakerHost() = default;

void MakerHost::ShowError(const std::string& text) {
    QWidget* parent = VisibleOrNull(owner_);
    const QString shown = BytesToText(text);
    if (const MessageBoxAnswer& answer = InstalledAnswer())
        answer(parent, shown);
    else
        RealMessageBox(parent, shown);
}

bool MakerHost::AskYesNo(const std::string& text) {
    QWidget* parent = VisibleOrNull(owner_);
    const QString shown = BytesToText(text);
    if (const QuestionAnswer& answer = InstalledQuestionAnswer()) return answer(parent, shown);
    return RealQuestionBox(parent, shown);
}

ProgressSink* MakerHost::BeginPacking() {
    if (owner_) owner_->setEnabled(false);
    RunState& run = events_.Module().Run;
    progress_ =
        std::make_unique<frmProgress>(owner_, [&run](bool open) { run.ProgressOpen = open; });
    progress_->show();
    PaintOnceShown(progress_.get());
    ForceNextYield();
    return progress_->Bar();
}

void MakerHost::PackingLabel(const std::string& text) {
    if (progress_) progress_->SetLabel(BytesToLine(text));
}

void MakerHost::EndPacking() {
    progress_.reset();
    if (owner_) owner_->setEnabled(true);
}

void MakerHost::DebugTextChanged(const std::string& text) {
    (void)text; // the debugger window reads RunState::DebugText itself
    emit events_.DebugTextChanged();
}
