// The installation debugger: the debugger text in a box that fills the window.
#include "ui/frmDebug.h"

#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kIconId = 204; // the test window's picture in the menu bar

} // namespace

frmDebug::frmDebug(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::DebugOpen, QSize(312, 213), Frame::Resizable, kIconId,
                   parent),
      eText(nullptr) {
    setObjectName(QStringLiteral("frmDebug"));
    setWindowTitle(CaptionToPlain(ResText(800)));

    eText = new QPlainTextEdit(Client());
    eText->setObjectName(QStringLiteral("eText"));
    eText->setFont(ListingFont());
    eText->setReadOnly(true);
    eText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    eText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    eText->setGeometry(0, 0, 312, 213);
    eText->setAccessibleName(windowTitle());
    updateText();
    connect(&events, &ProjectEvents::DebugTextChanged, this, &frmDebug::updateText);
}

frmDebug::~frmDebug() = default;

void frmDebug::resizeControls(QSize client) {
    if (eText) eText->setGeometry(0, 0, std::max(client.width(), 0), std::max(client.height(), 0));
}

// The view stays where the reader has it while lines are printed, so a new
// report, which starts from an empty text, reads from its first line.
void frmDebug::updateText() {
    if (!module()) return;
    QScrollBar* bar = eText->verticalScrollBar();
    const int kept = bar->value();
    eText->setPlainText(BytesToText(module()->Run.DebugText));
    bar->setValue(kept);
}
