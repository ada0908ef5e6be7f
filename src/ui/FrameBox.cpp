#include "ui/FrameBox.h"

#include <QPainter>
#include <QStyle>

FrameBox::FrameBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

int FrameBox::BorderTop() const {
    return fontMetrics().height() / 2;
}

// An etched border (a mid line with a light one inside it) from half the
// title's height down, the title on the window's colour interrupting it.
void FrameBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect border(0, BorderTop(), width() - 2, height() - BorderTop() - 2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.translated(1, 1));
    const QString text = title();
    const int width = fontMetrics().horizontalAdvance(QString(text).remove(u'&')) + 4;
    const QRect behind(6, 0, width, fontMetrics().height());
    painter.fillRect(behind, palette().color(QPalette::Window));
    style()->drawItemText(&painter, behind.adjusted(2, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text, QPalette::WindowText);
}
