// The script editor: its three controls, the resize arithmetic that keeps the
// strings box and the number column at the right edge, and the store of every
// edit into the project.
#include "ui/frmEditor.h"

#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/LineNumberColumn.h"
#include "ui/ProjectEvents.h"
#include "ui/ScriptBox.h"
#include "ui/ScriptReport.h"
#include "ui/TextConvert.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr int kIconId = 203; // the script editor's picture in the menu bar

template <class Box> Box* ListingBox(Box* box, const QRect& place, const QString& name) {
    box->setFont(ListingFont());
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Blanks, not tabs, indent entries of a component script, so Tab moves on
    // to the next box as in the other windows.
    box->setTabChangesFocus(true);
    box->setGeometry(place);
    box->setAccessibleName(name);
    return box;
}

} // namespace

frmEditor::frmEditor(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::EditorOpen, QSize(578, 343), Frame::Resizable, kIconId,
                   parent) {
    setObjectName(QStringLiteral("frmEditor"));
    const SetupProject& project = events.Module().Project;
    setWindowTitle(CaptionToPlain(ResText(600)));

    script_ = ListingBox(new ScriptBox(Client()), QRect(8, 8, 353, 329), QStringLiteral("Script"));
    eText[0] = script_;
    eText[0]->setObjectName(QStringLiteral("eText0"));
    eText[1] = ListingBox(new QPlainTextEdit(Client()), QRect(392, 8, 177, 305),
                          QStringLiteral("Numbered texts"));
    eText[1]->setObjectName(QStringLiteral("eText1"));
    eLabel[0] = new LineNumberColumn(*eText[1], Client());
    eLabel[0]->setObjectName(QStringLiteral("eLabel0"));
    eLabel[0]->setFont(ListingFont());
    eLabel[0]->setGeometry(368, 8, 25, 305);
    // The number column sits between the boxes but takes no focus.
    setTabOrder(eText[0], eText[1]);

    // Loading shows the texts without storing them again: the project's
    // bytes stay as they are until the user edits a box.
    eText[0]->setPlainText(BytesToText(project.ScriptText));
    eText[1]->setPlainText(BytesToText(project.StringsText));
    for (int i = 0; i < 2; ++i)
        connect(eText[static_cast<size_t>(i)], &QPlainTextEdit::textChanged, this,
                [this, i] { storeText(i); });
    connect(eText[0], &QPlainTextEdit::cursorPositionChanged, this, &frmEditor::updateStatus);
    updateProblems();

    const QRect script = eText[0]->geometry();
    layout_ = {2 * script.top(), 2 * script.left(), eLabel[0]->width(),
               eText[1]->width() + script.left()};
    loading_ = false;
    eText[0]->setFocus();
}

frmEditor::~frmEditor() = default;

std::string frmEditor::BoxText(const QPlainTextEdit& box) {
    // The raw text keeps non-breaking spaces, which the plain text would turn
    // into blanks; its paragraph and line separators are line breaks.
    QString text = box.document()->toRawText();
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
    return TextToBytes(text);
}

void frmEditor::storeText(int index) {
    if (loading_ || !module()) return;
    SetupProject& project = module()->Project;
    std::string& stored = index == 0 ? project.ScriptText : project.StringsText;
    std::string text = BoxText(*eText[static_cast<size_t>(index)]);
    if (text == stored) return;
    stored = std::move(text);
    emit events()->ScriptChanged();
    updateProblems();
}

// The lines kavelo check reports for the panel's starting selection, with
// the paths of an installation per user, as check makes them.
void frmEditor::updateProblems() {
    const SetupProject& project = module()->Project;
    const ProjectReport report =
        SimulateProject(project, StartSelection(project), ReportPathKind::User);
    std::map<int, QString> byLine;
    for (const ScriptProblem& problem : report.Problems) {
        if (problem.Line < 0) continue;
        QString& reason = byLine[problem.Line];
        reason += (reason.isEmpty() ? QString() : QStringLiteral("\n")) + BytesToLine(problem.Text);
    }
    script_->SetProblems(std::move(byLine));
    updateStatus();
}

// The problem of the cursor's line, in the main window's status bar; an
// empty tip clears it once the cursor leaves the line or the problem is gone.
void frmEditor::updateStatus() {
    const QString reason = script_->ProblemAt(eText[0]->textCursor().blockNumber());
    if (reason == status_) return;
    status_ = reason;
    QStatusTipEvent tip(QString(status_).replace(u'\n', QStringLiteral("; ")));
    QCoreApplication::sendEvent(this, &tip);
}

// The strings box and the number column keep their widths at the right edge;
// the script box takes the rest. A client narrower than the right block puts
// the strings box partly left of the client area, as the layout values say.
void frmEditor::resizeControls(QSize client) {
    if (loading_) return;
    const int height = std::max(client.height() - layout_.VerticalMargins, 0);
    int x = client.width() - layout_.RightBlock;
    QRect strings = eText[1]->geometry();
    eText[1]->setGeometry(x, strings.top(), strings.width(), height);
    x -= layout_.LabelWidth;
    const QRect label = eLabel[0]->geometry();
    eLabel[0]->setGeometry(x, label.top(), label.width(), height);
    x = std::max(x - layout_.HorizontalMargins, 0);
    const QRect script = eText[0]->geometry();
    eText[0]->setGeometry(script.left(), script.top(), x, height);
}
