// The editor's host: message boxes over the current owner window, the
// progress window, and the debugger text through ProjectEvents.
#include "app/MakerHost.h"

#include <QMessageBox>

#include "app/GuiYield.h"
#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"
#include "ui/frmProgress.h"
#include "ui/qkProgressA.h"

namespace {

MessageBoxAnswer& InstalledAnswer() {
    static MessageBoxAnswer answer;
    return answer;
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
