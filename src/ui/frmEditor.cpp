// The script editor: its three controls, the resize arithmetic that keeps the
// strings box and the number column at the right edge, and the store of every
// edit into the project.
#include "ui/frmEditor.h"

#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/LineNumberColumn.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace {

QPlainTextEdit* ListingBox(QWidget* parent, const QRect& place, const QString& name) {
    auto* box = new QPlainTextEdit(parent);
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
    : QMdiSubWindow(parent), events_(events),
      client_(new ClientArea(QSize(578, 343), [this](QSize size) { resizeControls(size); })) {
    setObjectName(QStringLiteral("frmEditor"));
    setAttribute(Qt::WA_DeleteOnClose);
    Module1& module = events_.Module();
    module.Run.EditorOpen = true;
    setWindowTitle(CaptionToPlain(ResText(600)));

    eText[0] = ListingBox(client_, QRect(8, 8, 353, 329), QStringLiteral("Script"));
    eText[0]->setObjectName(QStringLiteral("eText0"));
    eText[1] = ListingBox(client_, QRect(392, 8, 177, 305), QStringLiteral("Numbered texts"));
    eText[1]->setObjectName(QStringLiteral("eText1"));
    eLabel[0] = new LineNumberColumn(*eText[1], client_);
    eLabel[0]->setObjectName(QStringLiteral("eLabel0"));
    eLabel[0]->setFont(ListingFont());
    eLabel[0]->setGeometry(368, 8, 25, 305);
    // The number column sits between the boxes but takes no focus.
    setTabOrder(eText[0], eText[1]);

    // Loading shows the texts without storing them again: the project's
    // bytes stay as they are until the user edits a box.
    eText[0]->setPlainText(BytesToText(module.Project.ScriptText));
    eText[1]->setPlainText(BytesToText(module.Project.StringsText));
    for (int i = 0; i < 2; ++i)
        connect(eText[static_cast<size_t>(i)], &QPlainTextEdit::textChanged, this,
                [this, i] { storeText(i); });

    const QRect script = eText[0]->geometry();
    layout_ = {2 * script.top(), 2 * script.left(), eLabel[0]->width(),
               eText[1]->width() + script.left()};
    loading_ = false;
    setWidget(client_);
    eText[0]->setFocus();
}

frmEditor::~frmEditor() {
    events_.Module().Run.EditorOpen = false;
}

std::string frmEditor::BoxText(const QPlainTextEdit& box) {
    // The raw text keeps non-breaking spaces, which the plain text would turn
    // into blanks; its paragraph and line separators are line breaks.
    QString text = box.document()->toRawText();
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
    return TextToBytes(text);
}

void frmEditor::storeText(int index) {
    if (loading_) return;
    SetupProject& project = events_.Module().Project;
    std::string& stored = index == 0 ? project.ScriptText : project.StringsText;
    std::string text = BoxText(*eText[static_cast<size_t>(index)]);
    if (text == stored) return;
    stored = std::move(text);
    emit events_.ScriptChanged();
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
