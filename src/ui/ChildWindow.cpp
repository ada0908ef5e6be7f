// The client area of the child windows, and the listing font.
#include "ui/ChildWindow.h"

#include <QFontDatabase>
#include <QResizeEvent>

ClientArea::ClientArea(QSize designed, ResizeHook onResize, QWidget* parent)
    : QWidget(parent), designed_(designed), onResize_(std::move(onResize)) {
    resize(designed);
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResize_) onResize_(event->size());
}

QString CaptionRef(int id) {
    return QStringLiteral("$%1").arg(id);
}

QFont ListingFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(8.25);
    return font;
}
