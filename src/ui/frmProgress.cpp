// The progress window: its two controls at their fixed places, the caption,
// and the open/closed report to its owner.
#include "ui/frmProgress.h"

#include "ui/Captions.h"
#include "ui/qkProgressA.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShowEvent>
#include <QWindow>

frmProgress::frmProgress(QWidget* owner, OpenHook onOpenChanged)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), owner_(owner),
      eLabel(new QLabel(this)), qkProgressA1(new qkProgressA(this)),
      onOpenChanged_(std::move(onOpenChanged)) {
    setObjectName(QStringLiteral("frmProgress"));
    setFixedSize(326, 47);
    setWindowTitle(CaptionToPlain(ResText(160)));
    eLabel->setObjectName(QStringLiteral("eLabel"));
    eLabel->setTextFormat(Qt::PlainText);
    eLabel->setGeometry(8, 8, 313, 17);
    qkProgressA1->setObjectName(QStringLiteral("qkProgressA1"));
    qkProgressA1->setGeometry(8, 24, 313, 17);
    qkProgressA1->setAccessibleName(windowTitle());
    if (onOpenChanged_) onOpenChanged_(true);
}

frmProgress::~frmProgress() {
    if (onOpenChanged_) onOpenChanged_(false);
}

void frmProgress::SetLabel(const QString& text) {
    labelText_ = text;
    const QString shown = eLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, eLabel->width());
    eLabel->setText(shown);
    eLabel->setToolTip(shown == text ? QString() : text);
    eLabel->setAccessibleName(text);
}

// The save owns the window for its whole run; a close from the window system
// (the user) is refused, since the save would go on reporting to it.
void frmProgress::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

// Centred over the owner's window and kept above it by the window system.
void frmProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!owner_ || event->spontaneous()) return;
    QWidget* ownerWindow = owner_->window();
    move(ownerWindow->geometry().center() - rect().center());
    if (windowHandle() && ownerWindow->windowHandle())
        windowHandle()->setTransientParent(ownerWindow->windowHandle());
}
