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

frmDebug::frmDebug(ProjectEvents& events, QWidget* parent)
    : QMdiSubWindow(parent), eText(nullptr), events_(events),
      client_(new ClientArea(QSize(312, 213), [this](QSize size) {
          if (eText)
              eText->setGeometry(0, 0, std::max(size.width(), 0), std::max(size.height(), 0));
      })) {
    setObjectName(QStringLiteral("frmDebug"));
    setAttribute(Qt::WA_DeleteOnClose);
    events_.Module().Run.DebugOpen = true;
    setWindowTitle(CaptionToPlain(ResText(800)));

    eText = new QPlainTextEdit(client_);
    eText->setObjectName(QStringLiteral("eText"));
    eText->setFont(ListingFont());
    eText->setReadOnly(true);
    eText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    eText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    eText->setGeometry(0, 0, 312, 213);
    eText->setAccessibleName(windowTitle());
    updateText();
    connect(&events_, &ProjectEvents::DebugTextChanged, this, &frmDebug::updateText);
    setWidget(client_);
}

frmDebug::~frmDebug() {
    events_.Module().Run.DebugOpen = false;
}

// The view stays where the reader has it while lines are printed, so a new
// report, which starts from an empty text, reads from its first line.
void frmDebug::updateText() {
    QScrollBar* bar = eText->verticalScrollBar();
    const int kept = bar->value();
    eText->setPlainText(BytesToText(events_.Module().Run.DebugText));
    bar->setValue(kept);
}
